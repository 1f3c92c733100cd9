#include "actions/NumericEntry.h"
#include "common/LocaleFacts.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

namespace rp {
namespace {

// Pins the decimal separator for one test and restores the previous conventions afterwards.
class SeparatorScope
{
public:
    explicit SeparatorScope(QChar separator) : m_saved(localeFacts())
    {
        LocaleFacts facts = m_saved;
        facts.decimalSeparator = separator;
        setLocaleFacts(facts);
    }
    ~SeparatorScope() { setLocaleFacts(m_saved); }
    SeparatorScope(const SeparatorScope&) = delete;
    SeparatorScope& operator=(const SeparatorScope&) = delete;

private:
    LocaleFacts m_saved;
};

qint16 filtered(int code)
{
    qint16 variable = static_cast<qint16>(code);
    const qint16 result = FilterNumericKey(variable);
    EXPECT_EQ(variable, result) << "code " << code;
    return result;
}

// --- The filter on its own ---

TEST(FilterNumericKeyTest, KeepsDigitsMinusAndFourControlCodes)
{
    const SeparatorScope point(u'.');
    for (int code = '0'; code <= '9'; ++code) {
        EXPECT_EQ(filtered(code), code);
    }
    for (const int code : {45, 3, 8, 18, 22}) {
        EXPECT_EQ(filtered(code), code);
    }
}

TEST(FilterNumericKeyTest, BothSeparatorKeysGiveTheLocalesSeparator)
{
    {
        const SeparatorScope point(u'.');
        EXPECT_EQ(filtered(46), 46);
        EXPECT_EQ(filtered(44), 46);
    }
    {
        const SeparatorScope comma(u',');
        EXPECT_EQ(filtered(46), 44);
        EXPECT_EQ(filtered(44), 44);
    }
}

TEST(FilterNumericKeyTest, DiscardsEverythingElse)
{
    for (const QChar separator : {QChar(u'.'), QChar(u',')}) {
        const SeparatorScope scope(separator);
        for (const int code :
             {13, 9, 24, 26, 1, 27, 31, 32, 43, 42, 47, 58, 65, 101, 127, 128, 200, 255, 1000, 32767, -1, -32768, 0}) {
            EXPECT_EQ(filtered(code), 0) << "code " << code;
        }
        for (int code = 'A'; code <= 'z'; ++code) {
            EXPECT_EQ(filtered(code), 0) << "code " << code;
        }
    }
}

// --- Typing into the amount box ---

class AmountBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&m_window);
        m_box = new QLineEdit(&m_window);
        m_postpone = new QPushButton(QStringLiteral("&POSTICIPA AVVISO"), &m_window);
        m_stop = new QPushButton(QStringLiteral("&NON AVVISARE PIU'"), &m_window);
        layout->addWidget(m_box);
        layout->addWidget(m_postpone);
        layout->addWidget(m_stop);
        QWidget::setTabOrder(m_box, m_postpone);
        QWidget::setTabOrder(m_postpone, m_stop);
        installAmountKeyFilter(*m_box);
        m_window.show();
        m_window.activateWindow();
        QApplication::setActiveWindow(&m_window);
        m_box->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
        ASSERT_TRUE(QTest::qWaitFor([this] { return m_box->hasFocus(); }));
    }

    void type(const QString& keys) { QTest::keyClicks(m_box, keys); }

    QWidget m_window;
    QLineEdit* m_box = nullptr;
    QPushButton* m_postpone = nullptr;
    QPushButton* m_stop = nullptr;
};

TEST_F(AmountBoxTest, DigitsAreTyped)
{
    type(QStringLiteral("15"));
    EXPECT_EQ(m_box->text(), QStringLiteral("15"));
}

TEST_F(AmountBoxTest, OtherCharactersInsertNothing)
{
    type(QStringLiteral("a +*/eZ"));
    QTest::sendKeyEvent(QTest::Click, m_box, Qt::Key_Egrave, QStringLiteral("\u00e8"), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Click, m_box, Qt::Key(0x20AC), QStringLiteral("\u20ac"), Qt::NoModifier);
    QTest::keyClick(m_box, Qt::Key_Escape);
    EXPECT_EQ(m_box->text(), QString());
    type(QStringLiteral("1e2"));
    EXPECT_EQ(m_box->text(), QStringLiteral("12"));
}

TEST_F(AmountBoxTest, MinusAndSeparatorAreAcceptedAnywhere)
{
    const SeparatorScope comma(u',');
    type(QStringLiteral("1-2,,5-"));
    EXPECT_EQ(m_box->text(), QStringLiteral("1-2,,5-"));
}

TEST_F(AmountBoxTest, PointAndCommaTypeTheLocalesSeparator)
{
    {
        const SeparatorScope comma(u',');
        type(QStringLiteral("1.5,2"));
        EXPECT_EQ(m_box->text(), QStringLiteral("1,5,2"));
        QTest::keyClick(m_box, Qt::Key_Period, Qt::KeypadModifier);
        EXPECT_EQ(m_box->text(), QStringLiteral("1,5,2,"));
    }
    m_box->clear();
    {
        const SeparatorScope point(u'.');
        type(QStringLiteral("1,5.2"));
        EXPECT_EQ(m_box->text(), QStringLiteral("1.5.2"));
    }
}

TEST_F(AmountBoxTest, SeparatorGoesWhereTheCursorIs)
{
    const SeparatorScope comma(u',');
    type(QStringLiteral("15"));
    QTest::keyClick(m_box, Qt::Key_Left);
    type(QStringLiteral("."));
    EXPECT_EQ(m_box->text(), QStringLiteral("1,5"));
    EXPECT_EQ(m_box->cursorPosition(), 2);
}

TEST_F(AmountBoxTest, EditingKeysKeepWorking)
{
    type(QStringLiteral("123"));
    QTest::keyClick(m_box, Qt::Key_Backspace);
    EXPECT_EQ(m_box->text(), QStringLiteral("12"));
    QTest::keyClick(m_box, Qt::Key_Home);
    QTest::keyClick(m_box, Qt::Key_Delete);
    EXPECT_EQ(m_box->text(), QStringLiteral("2"));
    QTest::keyClick(m_box, Qt::Key_F2);
    EXPECT_EQ(m_box->text(), QStringLiteral("2"));
}

TEST_F(AmountBoxTest, CopyAndPasteReachTheBoxUnfiltered)
{
    QApplication::clipboard()->setText(QStringLiteral("7x"));
    QTest::keyClick(m_box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(m_box->text(), QStringLiteral("7x"));

    m_box->setText(QStringLiteral("42"));
    m_box->selectAll();
    QTest::keyClick(m_box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("42"));
}

TEST_F(AmountBoxTest, CutUndoAndSelectAllAreDiscarded)
{
    type(QStringLiteral("12"));
    m_box->selectAll();
    QTest::keyClick(m_box, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(m_box->text(), QStringLiteral("12"));
    m_box->deselect();
    QTest::keyClick(m_box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(m_box->text(), QStringLiteral("12"));
    QTest::keyClick(m_box, Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(m_box->hasSelectedText());
}

TEST_F(AmountBoxTest, EnterMovesToTheNextControlAndInsertsNothing)
{
    type(QStringLiteral("3"));
    QTest::keyClick(m_box, Qt::Key_Return);
    EXPECT_EQ(m_box->text(), QStringLiteral("3"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_postpone->hasFocus(); }));

    m_box->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_box->hasFocus(); }));
    QTest::keyClick(m_box, Qt::Key_Enter, Qt::KeypadModifier | Qt::ShiftModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_postpone->hasFocus(); }));
    EXPECT_EQ(m_box->text(), QStringLiteral("3"));
}

TEST_F(AmountBoxTest, EnterSkipsControlsThatCannotTakeTheFocus)
{
    m_postpone->setEnabled(false);
    QTest::keyClick(m_box, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_stop->hasFocus(); }));
}

TEST_F(AmountBoxTest, TabStillMovesTheFocus)
{
    QTest::keyClick(m_box, Qt::Key_Tab);
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_postpone->hasFocus(); }));
    EXPECT_EQ(m_box->text(), QString());
}

} // namespace
} // namespace rp
