#include "MainWindow.h"
#include "WindowTestHelpers.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace adc {
namespace {

// No run can start in these tests: a click that slipped through would fail on this device
// and leave a run behind.
const QString kNoDevice = QStringLiteral("/nonexistent/adconverter-port");

enum class Look { WindowFont, Bold9, BoldItalic15, Regular8 };

struct Control {
    const char *name;
    const char *text;
    int left, top, width, height; // twips; Label2's inside the chart's interior
    Look look;
};

// The design values of every control, in tab order.
const Control kControls[] = {
    {"Command1", "INT A/D Start", 5085, 4500, 1965, 315, Look::WindowFont},
    {"Command2", "MCP3201 A/D Start", 5085, 4815, 1965, 315, Look::WindowFont},
    {"Text(0)", "0", 8325, 225, 630, 270, Look::Bold9},
    {"Picture1", nullptr, 90, 120, 7875, 4215, Look::WindowFont},
    {"Command3", "EXIT", 7965, 4485, 975, 630, Look::Bold9},
    {"Label1", "Quelvane", 270, 4635, 2775, 435, Look::BoldItalic15},
    {"Command4", "Clear", 7200, 4485, 645, 630, Look::Bold9},
    {"Label2", "COM1 ONLY", 6720, 3960, 1095, 195, Look::WindowFont},
    {"Text(1)", "0", 8325, 540, 630, 270, Look::Bold9},
    {"Text(2)", "0", 8325, 855, 630, 270, Look::Bold9},
    {"Text(3)", "0", 8325, 1170, 630, 270, Look::Bold9},
    {"Text(4)", "0", 8325, 1485, 630, 270, Look::Bold9},
    {"Text(5)", "0", 8325, 1800, 630, 270, Look::Bold9},
    {"Text(6)", "0", 8325, 2115, 630, 270, Look::Bold9},
    {"Text(7)", "0", 8325, 2430, 630, 270, Look::Bold9},
    {"TIMES_TEXT", "0", 8100, 3240, 855, 270, Look::Regular8},
    {"Label3", "0:", 8010, 270, 285, 240, Look::Bold9},
    {"Label4", "1:", 8010, 585, 285, 240, Look::Bold9},
    {"Label5", "2:", 8010, 900, 285, 240, Look::Bold9},
    {"Label6", "3:", 8010, 1215, 285, 240, Look::Bold9},
    {"Label7", "4:", 8010, 1530, 285, 240, Look::Bold9},
    {"Label8", "5:", 8010, 1845, 285, 240, Look::Bold9},
    {"Label9", "6:", 8010, 2160, 285, 240, Look::Bold9},
    {"Label10", "7:", 8010, 2475, 285, 240, Look::Bold9},
    {"Label11", "Times", 8100, 2970, 690, 240, Look::Bold9},
    {"Shape1", nullptr, 4905, 4500, 135, 615, Look::WindowFont},
};

QString captionOf(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        return b->text();
    }
    if (auto *e = qobject_cast<QLineEdit *>(w)) {
        return e->text();
    }
    if (auto *l = qobject_cast<QLabel *>(w)) {
        return l->text();
    }
    return {};
}

class MainWindowLayout : public ::testing::Test {
protected:
    MainWindowLayout() { session.setDevice(kNoDevice); }

    RunSession session;
    MainWindow window{session};
};

TEST_F(MainWindowLayout, EveryControlHasItsPlaceCaptionAndFont)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("AD Converter"));
    EXPECT_EQ(window.minimumSize(), QSize(606, 349));
    EXPECT_EQ(window.maximumSize(), QSize(606, 349));
    const QFont windowFont = window.font();
    EXPECT_EQ(windowFont.family(), QStringLiteral("Arial"));

    for (const Control &c : kControls) {
        SCOPED_TRACE(c.name);
        auto *w = window.findChild<QWidget *>(QString::fromLatin1(c.name));
        ASSERT_NE(w, nullptr);
        const bool inChart = QByteArray(c.name) == "Label2";
        EXPECT_EQ(w->parentWidget(), inChart ? static_cast<QWidget *>(window.Picture1)
                                             : static_cast<QWidget *>(&window));
        const int border = inChart ? 2 : 0;
        EXPECT_EQ(w->geometry(),
                  QRect(c.left / 15 + border, c.top / 15 + border, c.width / 15, c.height / 15));
        if (c.text != nullptr) {
            EXPECT_EQ(captionOf(w), QString::fromLatin1(c.text));
        }
        EXPECT_TRUE(w->isEnabled());

        const QFont f = w->font();
        switch (c.look) {
        case Look::WindowFont:
            EXPECT_EQ(f, windowFont);
            break;
        case Look::Bold9:
            EXPECT_EQ(f.family(), QStringLiteral("Arial"));
            EXPECT_TRUE(f.bold());
            EXPECT_FALSE(f.italic());
            EXPECT_DOUBLE_EQ(f.pointSizeF(), 9.0);
            break;
        case Look::BoldItalic15:
            EXPECT_EQ(f.family(), QStringLiteral("Arial"));
            EXPECT_TRUE(f.bold());
            EXPECT_TRUE(f.italic());
            EXPECT_DOUBLE_EQ(f.pointSizeF(), 15.75);
            break;
        case Look::Regular8:
            EXPECT_EQ(f.family(), QStringLiteral("Arial"));
            EXPECT_FALSE(f.bold());
            EXPECT_FALSE(f.italic());
            EXPECT_DOUBLE_EQ(f.pointSizeF(), 8.25);
            break;
        }
    }

    // The members are the named controls.
    EXPECT_EQ(window.Command1, window.findChild<QPushButton *>("Command1"));
    EXPECT_EQ(window.Command4, window.findChild<QPushButton *>("Command4"));
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(window.Text[k], window.findChild<QLineEdit *>(QStringLiteral("Text(%1)").arg(k)));
    }
    EXPECT_EQ(window.TIMES_TEXT, window.findChild<QLineEdit *>("TIMES_TEXT"));
    EXPECT_EQ(window.Label2, window.Picture1->findChild<QLabel *>("Label2"));
    EXPECT_EQ(window.Label11, window.findChild<QLabel *>("Label11"));
    EXPECT_EQ(window.Shape1, window.findChild<FilledShape *>("Shape1"));
}

TEST_F(MainWindowLayout, TheChartInteriorAndTheCornerNoteMeet)
{
    EXPECT_EQ(window.Picture1->contentsRect(), QRect(2, 2, 521, 277));
    EXPECT_EQ(window.Picture1->image().size(), QSize(521, 277));
    // The note's right and bottom edges are the interior's.
    const QRect note = window.Label2->geometry();
    EXPECT_EQ(note.right() + 1, 2 + 521);
    EXPECT_EQ(note.bottom() + 1, 2 + 277);
}

TEST_F(MainWindowLayout, StartsWithZeroesAGreyIndicatorAndAnEmptyChart)
{
    for (QLineEdit *box : window.Text) {
        EXPECT_EQ(box->text(), QStringLiteral("0"));
        EXPECT_FALSE(box->isReadOnly());
    }
    EXPECT_EQ(window.TIMES_TEXT->text(), QStringLiteral("0"));
    EXPECT_EQ(window.Shape1->fillColour(), QColor(192, 192, 192));
    EXPECT_EQ(test::inkPixels(window.Picture1->image()), 0);
    EXPECT_EQ(window.run(), nullptr);
    EXPECT_FALSE(session.port().portOpen());

    // What reaches the screen: the indicator's grey, the chart's white, the note on white and
    // the teal heading.
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.pixelColor(327 + 4, 300 + 20), QColor(192, 192, 192));
    EXPECT_EQ(shot.pixelColor(327, 300), QColor(192, 192, 192));
    EXPECT_EQ(shot.pixelColor(327 + 8, 300 + 40), QColor(192, 192, 192));
    EXPECT_EQ(shot.pixelColor(6 + 2 + 100, 8 + 2 + 100), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(6 + 2 + 520, 8 + 2 + 276), QColor(Qt::white));
    int teal = 0;
    for (int y = 309; y < 309 + 29; ++y) {
        for (int x = 18; x < 18 + 185; ++x) {
            teal += shot.pixelColor(x, y) == QColor(0, 128, 128) ? 1 : 0;
        }
    }
    EXPECT_GT(teal, 20);
    // The sunken border is not white.
    EXPECT_NE(shot.pixelColor(6, 8 + 100), QColor(Qt::white));
}

TEST_F(MainWindowLayout, TabVisitsTheControlsInOrder)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.Command1->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), window.Command1);

    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 14; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    const QStringList expected{"Command1", "Command2", "Text(0)", "Picture1",   "Command3",
                               "Command4", "Text(1)",  "Text(2)", "Text(3)",    "Text(4)",
                               "Text(5)",  "Text(6)",  "Text(7)", "TIMES_TEXT", "Command1"};
    EXPECT_EQ(visited, expected);
}

TEST_F(MainWindowLayout, EnterAndEscapePressNoButton)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    for (QPushButton *b : {window.Command1, window.Command2, window.Command3, window.Command4}) {
        EXPECT_FALSE(b->autoDefault());
        EXPECT_FALSE(b->isDefault());
    }
    for (QWidget *w :
         {static_cast<QWidget *>(window.Command1), static_cast<QWidget *>(window.Text[0]),
          static_cast<QWidget *>(window.TIMES_TEXT)}) {
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Enter);
        QTest::keyClick(w, Qt::Key_Escape);
    }
    EXPECT_EQ(window.run(), nullptr);
    EXPECT_FALSE(window.isUnloaded());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowLayout, TheValueBoxesAcceptTyping)
{
    window.show();
    window.Text[3]->setFocus();
    window.Text[3]->selectAll();
    QTest::keyClicks(window.Text[3], "abc");
    EXPECT_EQ(window.Text[3]->text(), QStringLiteral("abc"));
    window.TIMES_TEXT->selectAll();
    QTest::keyClicks(window.TIMES_TEXT, "12");
    EXPECT_EQ(window.TIMES_TEXT->text(), QStringLiteral("12"));
}

TEST_F(MainWindowLayout, ClearBeforeAnyRunLeavesAnEmptyChartAndExitClosesNothing)
{
    bool unloaded = false;
    QObject::connect(&window, &MainWindow::unloaded, [&] { unloaded = true; });
    window.show();
    QTest::mouseClick(window.Command4, Qt::LeftButton);
    EXPECT_EQ(test::inkPixels(window.Picture1->image()), 0);
    EXPECT_FALSE(unloaded);
    QTest::mouseClick(window.Command3, Qt::LeftButton);
    EXPECT_TRUE(unloaded);
    EXPECT_TRUE(window.isUnloaded());
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(session.port().portOpen());
    EXPECT_EQ(window.run(), nullptr);
    // After the unload the Start buttons start nothing.
    window.startRun(Mode::Int);
    EXPECT_EQ(window.run(), nullptr);
}

/// What `w` draws, in one pixel format whatever the widget.
QImage shot(QWidget *w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

/// Columns of `image` that hold some pixel unlike the top-left interior pixel (the paper).
std::vector<int> inkColumns(const QImage &image)
{
    const QColor paper = image.pixelColor(3, 3);
    std::vector<int> columns;
    for (int x = 2; x < image.width() - 2; ++x) {
        for (int y = 2; y < image.height() - 2; ++y) {
            if (image.pixelColor(x, y) != paper) {
                columns.push_back(x);
                break;
            }
        }
    }
    return columns;
}

TEST_F(MainWindowLayout, AValueEndingInACarriageReturnShowsFromItsFirstCharacter)
{
    window.display().showValueText(1, "04095\r");
    window.display().showValueText(2, "04095");
    window.display().flush();
    EXPECT_EQ(window.Text[1]->text(), QStringLiteral("04095\r"));
    const QImage withReturn = shot(window.Text[1]);
    const QImage plain = shot(window.Text[2]);
    const std::vector<int> digits = inkColumns(plain);
    ASSERT_FALSE(digits.empty());
    // The digits stand where they stand without the carriage return.
    EXPECT_EQ(withReturn.copy(0, 0, digits.back() + 1, plain.height()),
              plain.copy(0, 0, digits.back() + 1, plain.height()));
}

TEST_F(MainWindowLayout, TheCountShowsAllItsDigits)
{
    window.show();
    const QFont usual = window.TIMES_TEXT->font();
    // A box as roomy as needed shows what all of the count looks like in the font chosen.
    QLineEdit roomy;
    roomy.setStyle(window.TIMES_TEXT->style());
    roomy.resize(400, window.TIMES_TEXT->height());
    for (const char *count : {"12345678", "108900705", "999999999999"}) {
        SCOPED_TRACE(count);
        window.display().showCount(count);
        window.display().flush();
        EXPECT_EQ(window.TIMES_TEXT->text(), QString::fromLatin1(count));
        EXPECT_EQ(window.TIMES_TEXT->geometry(), QRect(540, 216, 57, 18));
        roomy.setFont(window.TIMES_TEXT->font());
        roomy.setText(QString::fromLatin1(count));
        const QImage whole = shot(&roomy);
        const QImage shown = shot(window.TIMES_TEXT);
        const std::vector<int> ink = inkColumns(whole);
        ASSERT_FALSE(ink.empty());
        ASSERT_LT(ink.back(), shown.width() - 2) << "the count runs past the box";
        EXPECT_EQ(shown.copy(0, 2, ink.back() + 1, shown.height() - 4),
                  whole.copy(0, 2, ink.back() + 1, shown.height() - 4));
        // Narrower letters, if need be, but as high as ever.
        EXPECT_DOUBLE_EQ(window.TIMES_TEXT->font().pointSizeF(), 8.25);
    }
    // The usual font as soon as the count fits in it again.
    window.display().showCount("1");
    window.display().flush();
    EXPECT_EQ(window.TIMES_TEXT->font(), usual);
}

} // namespace
} // namespace adc
