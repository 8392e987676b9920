#include "MainWindow.h"

#include "BoxStyle.h"
#include "ValueBox.h"
#include "WarningBox.h"

#include <QCloseEvent>
#include <QFont>
#include <QFontMetricsF>
#include <QMessageBox>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include <algorithm>
#include <cmath>
#include <variant>

namespace adc {

namespace {

/// How a control's text looks: its font, and its colours where they are not the usual ones.
enum class Look {
    WindowFont,  ///< the window's own font
    Bold9,       ///< Arial bold 9 pt
    Regular8,    ///< Arial 8.25 pt
    TealHeading, ///< Arial bold italic 15.75 pt, in teal
    NoteOnWhite, ///< the window's own font, on white
};

/// Where a control's place is measured from: the window, or the interior of the chart.
enum class In { Window, Chart };

/// A control's left and top edge, width and height, in twips.
struct Place {
    int left, top, width, height;
    In in = In::Window;
};

/// The member that holds a control; its type says what kind of control it is.
using Member = std::variant<QPushButton **, QLineEdit **, QLabel **, StripChart **, FilledShape **>;

struct Control {
    Member member;
    const char *name;
    const char *caption; ///< nullptr for a control without one
    Place place;
    Look look;
};

/// The window's controls, in tab order.
std::array<Control, 26> controlsOf(MainWindow &w)
{
    constexpr In chart = In::Chart;
    return {{
        {&w.Command1, "Command1", "INT A/D Start", {5085, 4500, 1965, 315}, Look::WindowFont},
        {&w.Command2, "Command2", "MCP3201 A/D Start", {5085, 4815, 1965, 315}, Look::WindowFont},
        {&w.Text[0], "Text(0)", "0", {8325, 225, 630, 270}, Look::Bold9},
        {&w.Picture1, "Picture1", nullptr, {90, 120, 7875, 4215}, Look::WindowFont},
        {&w.Command3, "Command3", "EXIT", {7965, 4485, 975, 630}, Look::Bold9},
        {&w.Label1, "Label1", "Quelvane", {270, 4635, 2775, 435}, Look::TealHeading},
        {&w.Command4, "Command4", "Clear", {7200, 4485, 645, 630}, Look::Bold9},
        {&w.Label2, "Label2", "COM1 ONLY", {6720, 3960, 1095, 195, chart}, Look::NoteOnWhite},
        {&w.Text[1], "Text(1)", "0", {8325, 540, 630, 270}, Look::Bold9},
        {&w.Text[2], "Text(2)", "0", {8325, 855, 630, 270}, Look::Bold9},
        {&w.Text[3], "Text(3)", "0", {8325, 1170, 630, 270}, Look::Bold9},
        {&w.Text[4], "Text(4)", "0", {8325, 1485, 630, 270}, Look::Bold9},
        {&w.Text[5], "Text(5)", "0", {8325, 1800, 630, 270}, Look::Bold9},
        {&w.Text[6], "Text(6)", "0", {8325, 2115, 630, 270}, Look::Bold9},
        {&w.Text[7], "Text(7)", "0", {8325, 2430, 630, 270}, Look::Bold9},
        {&w.TIMES_TEXT, "TIMES_TEXT", "0", {8100, 3240, 855, 270}, Look::Regular8},
        {&w.Label3, "Label3", "0:", {8010, 270, 285, 240}, Look::Bold9},
        {&w.Label4, "Label4", "1:", {8010, 585, 285, 240}, Look::Bold9},
        {&w.Label5, "Label5", "2:", {8010, 900, 285, 240}, Look::Bold9},
        {&w.Label6, "Label6", "3:", {8010, 1215, 285, 240}, Look::Bold9},
        {&w.Label7, "Label7", "4:", {8010, 1530, 285, 240}, Look::Bold9},
        {&w.Label8, "Label8", "5:", {8010, 1845, 285, 240}, Look::Bold9},
        {&w.Label9, "Label9", "6:", {8010, 2160, 285, 240}, Look::Bold9},
        {&w.Label10, "Label10", "7:", {8010, 2475, 285, 240}, Look::Bold9},
        {&w.Label11, "Label11", "Times", {8100, 2970, 690, 240}, Look::Bold9},
        {&w.Shape1, "Shape1", nullptr, {4905, 4500, 135, 615}, Look::WindowFont},
    }};
}

/// A place in pixels inside its parent (the chart's interior begins inside its border).
QRect pixelsOf(const Place &place)
{
    constexpr int k = StripChart::kTwipsPerPixel;
    const QRect r(place.left / k, place.top / k, place.width / k, place.height / k);
    return place.in == In::Chart ? r.translated(StripChart::kBorderWidth, StripChart::kBorderWidth)
                                 : r;
}

QFont arial(double points, bool bold, bool italic = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

/// The usual font of the sample counter.
QFont countFont()
{
    return arial(8.25, false);
}

void setColour(QWidget *w, QPalette::ColorRole role, QColor colour)
{
    QPalette palette = w->palette();
    palette.setColor(role, colour);
    w->setPalette(palette);
}

void applyLook(QWidget *w, Look look)
{
    switch (look) {
    case Look::WindowFont:
        break;
    case Look::Bold9:
        w->setFont(arial(9.0, true));
        break;
    case Look::Regular8:
        w->setFont(countFont());
        break;
    case Look::TealHeading:
        w->setFont(arial(15.75, true, true));
        setColour(w, QPalette::WindowText, QColor(0, 128, 128));
        break;
    case Look::NoteOnWhite:
        setColour(w, QPalette::Window, Qt::white);
        w->setAutoFillBackground(true);
        break;
    }
}

/// Makes the control of one row of the table and stores it in its member.
struct ControlMaker {
    QWidget *parent;
    QString caption;
    QStyle *boxStyle;

    QWidget *operator()(QPushButton **member) const
    {
        auto *b = new QPushButton(caption, parent);
        // Enter and Escape do not press any button by themselves.
        b->setAutoDefault(false);
        b->setDefault(false);
        return *member = b;
    }
    QWidget *operator()(QLineEdit **member) const
    {
        auto *e = new ValueBox(caption, parent);
        if (boxStyle != nullptr) {
            e->setStyle(boxStyle);
        }
        return *member = e;
    }
    QWidget *operator()(QLabel **member) const { return *member = new QLabel(caption, parent); }
    QWidget *operator()(StripChart **member) const
    {
        auto *chart = new StripChart(parent);
        chart->setFocusPolicy(Qt::TabFocus);
        return *member = chart;
    }
    QWidget *operator()(FilledShape **member) const
    {
        return *member = new FilledShape(WindowDisplay::idleColour(), parent);
    }
};

/// Room for text inside `box`: its width less the frame and the margin of two pixels that a
/// line edit keeps on either side of its text.
int textRoom(const QLineEdit *box)
{
    const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
    const QMargins margins = box->textMargins();
    return box->width() - 2 * frame - 2 * 2 - margins.left() - margins.right();
}

/// Pixels that `text` takes in `font`, with the overhang a line edit allows for.
double widthOf(const QFont &font, const QString &text)
{
    const QFontMetricsF metrics(font);
    return std::ceil(metrics.horizontalAdvance(text)) + 1.0 +
           std::max(0.0, -metrics.minLeftBearing()) + std::max(0.0, -metrics.minRightBearing());
}

/// `usual` when `text` fits `box` in it. Otherwise the same font with narrower letters, at the
/// same height, down to 60 % of their width; only then smaller letters as well, down to 5 pt
/// (beyond that the box shows the start of the text).
QFont fittingFont(const QLineEdit *box, const QFont &usual, const QString &text)
{
    const double room = textRoom(box);
    const double need = widthOf(usual, text);
    if (need <= room) {
        return usual;
    }
    constexpr int kNarrowest = 60;
    constexpr double kSmallest = 5.0;
    const int stretch = static_cast<int>(100.0 * room / need);
    QFont font = usual;
    font.setStretch(std::max(stretch, kNarrowest));
    if (stretch < kNarrowest) {
        font.setPointSizeF(std::max(kSmallest, usual.pointSizeF() * stretch / kNarrowest));
    }
    // Widths follow the font only roughly (whole pixels); step down until the text fits.
    while (widthOf(font, text) > room && font.pointSizeF() > kSmallest) {
        if (font.stretch() > kNarrowest) {
            font.setStretch(font.stretch() - 1);
        } else {
            font.setPointSizeF(font.pointSizeF() - 0.25);
        }
    }
    return font;
}

} // namespace

MainWindow::MainWindow(RunSession &session, QWidget *parent) : QWidget(parent), m_session(session)
{
    setWindowTitle(QStringLiteral("AD Converter"));
    // The window's own font, used by the Start buttons and the port note: the small dialog
    // size that fits their boxes.
    setFont(arial(8.25, false));
    constexpr int k = StripChart::kTwipsPerPixel;
    setFixedSize(kClientWidthTwips / k, kClientHeightTwips / k);
    createControls();

    m_display = std::make_unique<WindowDisplay>(Text, TIMES_TEXT, Shape1, Picture1);
    m_lineTip = new LineStateTip({Shape1, TIMES_TEXT}, this);
    m_session.setDisplay(m_display.get());
    connect(&m_session, &RunSession::ended, this, [this](const QString &message) {
        if (!message.isEmpty()) {
            showFailure(message);
        }
    });
    connect(&m_session, &RunSession::recordingFailed, this, &MainWindow::showRecordingFailure);
    // The tooltip tells at once that the run waits, why a device is not taken, and that it goes
    // on.
    connect(&m_session, &RunSession::waitingForDevice, m_lineTip, &LineStateTip::refresh);
    connect(&m_session, &RunSession::waitReasonChanged, m_lineTip, &LineStateTip::setWaitReason);
    connect(&m_session, &RunSession::resumed, m_lineTip, &LineStateTip::refresh);

    connect(Command1, &QPushButton::clicked, this, [this] { startRun(Mode::Int); });
    connect(Command2, &QPushButton::clicked, this, [this] { startRun(Mode::Mcp3201); });
    connect(Command3, &QPushButton::clicked, this, &QWidget::close);
    connect(Command4, &QPushButton::clicked, this, &MainWindow::clearChart);
    // A count too long for the usual font is shown whole in narrower letters.
    connect(TIMES_TEXT, &QLineEdit::textChanged, this, [this](const QString &text) {
        const QFont font = fittingFont(TIMES_TEXT, countFont(), text);
        if (font != TIMES_TEXT->font()) {
            TIMES_TEXT->setFont(font);
        }
    });
}

MainWindow::~MainWindow()
{
    shutDown();
    m_session.setDisplay(nullptr);
}

void MainWindow::createControls()
{
    // The boxes change with every record: a plain sunken frame, drawn once and then copied,
    // costs a fraction of what a rounded, antialiased one does to redraw.
    QStyle *boxStyle =
        QStyleFactory::keys().contains(QStringLiteral("Windows")) ? new BoxStyle : nullptr;
    if (boxStyle != nullptr) {
        boxStyle->setParent(this);
    }
    // The table is in tab order, and so is the order the controls are made in: labels and the
    // indicator take no focus, and Tab visits the others in the order of the table.
    for (const Control &c : controlsOf(*this)) {
        QWidget *parent = c.place.in == In::Chart ? static_cast<QWidget *>(Picture1) : this;
        const ControlMaker maker{parent, QString::fromLatin1(c.caption), boxStyle};
        QWidget *w = std::visit(maker, c.member);
        w->setObjectName(QString::fromLatin1(c.name));
        w->setGeometry(pixelsOf(c.place));
        applyLook(w, c.look);
    }
}

QMessageBox *MainWindow::failureBox() const
{
    return m_failureBox.data();
}

QMessageBox *MainWindow::recordingFailureBox() const
{
    return m_recordingFailureBox.data();
}

void MainWindow::showRecordingFailure(const QString &message)
{
    // One message for the one failure; the runs go on without recording.
    m_recordingFailureBox = warn(message);
}

void MainWindow::startRun(Mode mode)
{
    if (m_unloaded) {
        return;
    }
    if (!m_nextDevice.isEmpty()) {
        m_session.setDevice(m_nextDevice);
        m_nextDevice.clear();
    }
    // A run that starts makes the message about an earlier failure stale; a start that fails
    // again only updates it.
    if (m_session.start(mode)) {
        closeFailureBox();
    }
    m_lineTip->follow(*m_session.run(), DeviceName::shown(m_session.device()));
}

void MainWindow::clearChart()
{
    m_display->clearChart();
}

void MainWindow::unload()
{
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    shutDown();
    // The message about a failure goes with the window.
    closeFailureBox();
    emit unloaded();
}

void MainWindow::shutDown()
{
    m_session.stop();
    // Unloading the window (EXIT, the close box, an exit signal) closes the recording at once.
    m_session.finishRecording();
}

void MainWindow::closeFailureBox()
{
    if (m_failureBox) {
        m_failureBox->removeEventFilter(this);
        m_failureBox->close();
        m_failureBox = nullptr;
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing cannot be refused.
    unload();
    event->accept();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // OK and Escape only hide a message; a close event comes from the window system (the
    // message's own close box), since the window stops watching a message before it closes it.
    if (watched != this && event->type() == QEvent::Close) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::showFailure(const QString &message)
{
    // One failure, one message: while the box is open a later report only updates its text.
    if (m_failureBox) {
        if (m_failureBox->text() != message) {
            m_failureBox->setText(message);
        }
        return;
    }
    m_failureBox = warn(message);
}

QMessageBox *MainWindow::warn(const QString &message)
{
    // Not modal: EXIT and the close box must still end the program while a message is up, and
    // closing the message through the window system ends it too.
    QMessageBox *box = WarningBox::open(*this, message);
    box->installEventFilter(this);
    return box;
}

} // namespace adc
