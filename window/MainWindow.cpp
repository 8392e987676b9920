#include "MainWindow.h"

#include <QCloseEvent>
#include <QFont>
#include <QMessageBox>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace adc {

namespace {

/// A rectangle given in twips, in pixels.
QRect fromTwips(int left, int top, int width, int height)
{
    constexpr int k = MainWindow::kTwipsPerPixel;
    return QRect(left / k, top / k, width / k, height / k);
}

QFont arial(double points, bool bold, bool italic = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

/// The font of the boxes, the channel labels and the EXIT and Clear buttons.
QFont boxFont()
{
    return arial(9.0, true);
}

} // namespace

MainWindow::MainWindow(const QString &port1Device, QWidget *parent)
    : QWidget(parent), m_port(port1Device)
{
    setWindowTitle(QStringLiteral("AD Converter"));
    // The window's own font, used by the Start buttons and the port note: the small dialog
    // size that fits their boxes.
    setFont(arial(8.25, false));
    setFixedSize(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);
    createControls();

    m_display = std::make_unique<WindowDisplay>(Text, TIMES_TEXT, Shape1, Picture1);
    connect(m_display.get(), &WindowDisplay::ended, this, &MainWindow::showFailure);
    connect(&m_port, &SerialPortControl::dataWaiting, this, &MainWindow::serviceRun);
    connect(&m_port, &SerialPortControl::failed, this, &MainWindow::portFailed);

    connect(Command1, &QPushButton::clicked, this, [this] { startRun(Mode::Int); });
    connect(Command2, &QPushButton::clicked, this, [this] { startRun(Mode::Mcp3201); });
    connect(Command3, &QPushButton::clicked, this, &QWidget::close);
    connect(Command4, &QPushButton::clicked, this, &MainWindow::clearChart);
}

MainWindow::~MainWindow()
{
    disconnect(&m_port, nullptr, this, nullptr);
    if (m_run) {
        m_run->stop();
    }
    if (m_port.portOpen()) {
        m_port.setPortOpen(false);
    }
}

void MainWindow::createControls()
{
    const auto button = [this](const char *name, const QString &caption, QRect place) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(place);
        // Enter and Escape do not press any button by themselves.
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    // The boxes change with every record: a plain sunken frame costs a fraction of what a
    // rounded, antialiased one does to redraw.
    QStyle *boxStyle = QStyleFactory::create(QStringLiteral("Windows"));
    if (boxStyle != nullptr) {
        boxStyle->setParent(this);
    }
    const auto box = [this, boxStyle](const QString &name, QRect place, const QFont &font) {
        auto *e = new QLineEdit(QStringLiteral("0"), this);
        if (boxStyle != nullptr) {
            e->setStyle(boxStyle);
        }
        e->setObjectName(name);
        e->setGeometry(place);
        e->setFont(font);
        return e;
    };
    const auto label = [](QWidget *parent, const char *name, const QString &caption, QRect place,
                          const QFont &font) {
        auto *l = new QLabel(caption, parent);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(place);
        l->setFont(font);
        return l;
    };

    Command1 =
        button("Command1", QStringLiteral("INT A/D Start"), fromTwips(5085, 4500, 1965, 315));
    Command2 =
        button("Command2", QStringLiteral("MCP3201 A/D Start"), fromTwips(5085, 4815, 1965, 315));
    Command3 = button("Command3", QStringLiteral("EXIT"), fromTwips(7965, 4485, 975, 630));
    Command3->setFont(boxFont());
    Command4 = button("Command4", QStringLiteral("Clear"), fromTwips(7200, 4485, 645, 630));
    Command4->setFont(boxFont());

    Picture1 = new StripChart(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(fromTwips(90, 120, 7875, 4215));
    Picture1->setFocusPolicy(Qt::TabFocus);

    // Channel k's box, with its label "k:" just left of it and 45 twips lower.
    static const char *const channelLabels[kMaxChannels] = {
        "Label3", "Label4", "Label5", "Label6", "Label7", "Label8", "Label9", "Label10"};
    std::array<QLabel *, kMaxChannels> numbers{};
    for (int k = 0; k < kMaxChannels; ++k) {
        const int top = 225 + 315 * k;
        Text[static_cast<std::size_t>(k)] =
            box(QStringLiteral("Text(%1)").arg(k), fromTwips(8325, top, 630, 270), boxFont());
        numbers[static_cast<std::size_t>(k)] =
            label(this, channelLabels[k], QStringLiteral("%1:").arg(k),
                  fromTwips(8010, top + 45, 285, 240), boxFont());
    }
    Label3 = numbers[0];
    Label4 = numbers[1];
    Label5 = numbers[2];
    Label6 = numbers[3];
    Label7 = numbers[4];
    Label8 = numbers[5];
    Label9 = numbers[6];
    Label10 = numbers[7];

    TIMES_TEXT =
        box(QStringLiteral("TIMES_TEXT"), fromTwips(8100, 3240, 855, 270), arial(8.25, false));
    Label11 =
        label(this, "Label11", QStringLiteral("Times"), fromTwips(8100, 2970, 690, 240), boxFont());

    Label1 = label(this, "Label1", QStringLiteral("Quelvane"), fromTwips(270, 4635, 2775, 435),
                   arial(15.75, true, true));
    QPalette heading = Label1->palette();
    heading.setColor(QPalette::WindowText, QColor(0, 128, 128));
    Label1->setPalette(heading);

    // The port note sits in the chart's bottom-right corner, on white.
    const QRect note = fromTwips(6720, 3960, 1095, 195);
    Label2 = label(Picture1, "Label2", QStringLiteral("COM1 ONLY"),
                   note.translated(StripChart::kBorderWidth, StripChart::kBorderWidth), font());
    QPalette paper = Label2->palette();
    paper.setColor(QPalette::Window, Qt::white);
    Label2->setPalette(paper);
    Label2->setAutoFillBackground(true);

    Shape1 = new FilledShape(WindowDisplay::idleColour(), this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(fromTwips(4905, 4500, 135, 615));

    // Tab order: the Start buttons, the first value box, the chart, EXIT, Clear, the other
    // value boxes and the counter. Labels and the indicator take no focus.
    const std::array<QWidget *, 15> tabOrder{Command1, Command2, Text[0], Picture1,   Command3,
                                             Command4, Text[1],  Text[2], Text[3],    Text[4],
                                             Text[5],  Text[6],  Text[7], TIMES_TEXT, nullptr};
    for (std::size_t i = 0; tabOrder[i + 1] != nullptr; ++i) {
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }
}

QMessageBox *MainWindow::failureBox() const
{
    return m_failureBox.data();
}

void MainWindow::startRun(Mode mode)
{
    if (m_unloaded) {
        return;
    }
    if (m_run) {
        m_run->stop();
    }
    m_run = std::make_unique<AcquisitionRun>(mode, m_port, *m_display);
    m_run->setObserver(m_recordObserver);
    m_run->start();
}

void MainWindow::setRecordObserver(RecordObserver *observer)
{
    m_recordObserver = observer;
    if (m_run) {
        m_run->setObserver(observer);
    }
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
    disconnect(&m_port, nullptr, this, nullptr);
    if (m_run) {
        m_run->stop();
    }
    if (m_port.portOpen()) {
        m_port.setPortOpen(false);
    }
    emit unloaded();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing cannot be refused.
    unload();
    event->accept();
}

void MainWindow::serviceRun()
{
    m_serviceQueued = false;
    if (m_unloaded || !m_run || !m_run->running()) {
        return;
    }
    // The run works on a bounded share of what is waiting; the rest gets its own turn later,
    // so that clicks and repaints go on in between.
    if (m_run->service(m_serviceBudget) && !m_serviceQueued) {
        m_serviceQueued = true;
        QMetaObject::invokeMethod(this, &MainWindow::serviceRun, Qt::QueuedConnection);
    }
}

void MainWindow::portFailed(const QString &message)
{
    if (m_run && m_run->running()) {
        m_run->fail(message.toStdString());
    }
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
    auto *box =
        new QMessageBox(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_failureBox = box;
    box->open();
}

} // namespace adc
