#include "reminder/ColourValue.h"
#include "reminder/ReminderControls.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace rp {
namespace {

class ReminderControlsTest : public ::testing::Test
{
protected:
    void SetUp() override { m_controls = buildReminderControls(m_window); }

    void showActive()
    {
        m_window.show();
        m_window.activateWindow();
        QApplication::setActiveWindow(&m_window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    }

    QWidget m_window;
    ReminderControls m_controls;
};

// --- Identity, captions and layout ---

TEST_F(ReminderControlsTest, EveryControlIsAChildFoundByItsName)
{
    const std::vector<std::pair<const char*, QWidget*>> expected{{"Label30", m_controls.Label3[0]},
                                                                 {"Label31", m_controls.Label3[1]},
                                                                 {"Label32", m_controls.Label3[2]},
                                                                 {"Label33", m_controls.Label3[3]},
                                                                 {"Label34", m_controls.Label3[4]},
                                                                 {"lbCliCod", m_controls.lbCliCod},
                                                                 {"lbCliDes", m_controls.lbCliDes},
                                                                 {"lbAziCod", m_controls.lbAziCod},
                                                                 {"LbAziDes", m_controls.LbAziDes},
                                                                 {"lbScadDD", m_controls.lbScadDD},
                                                                 {"lbScadHH", m_controls.lbScadHH},
                                                                 {"lbScaduto", m_controls.lbScaduto},
                                                                 {"lbDocumento", m_controls.lbDocumento},
                                                                 {"cmdDocumento", m_controls.cmdDocumento},
                                                                 {"Txt1", m_controls.Txt1},
                                                                 {"cmbAllarm", m_controls.cmbAllarm},
                                                                 {"cmdCli0", m_controls.cmdCli[0]},
                                                                 {"cmdCli1", m_controls.cmdCli[1]}};
    for (const auto& [name, widget] : expected) {
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(m_window.findChild<QWidget*>(QString::fromLatin1(name)), widget) << name;
        EXPECT_EQ(widget->parentWidget(), &m_window) << name;
        EXPECT_TRUE(widget->isEnabled()) << name;
        EXPECT_FALSE(widget->isHidden()) << name;
    }
}

TEST_F(ReminderControlsTest, InitialCaptionsAndTitle)
{
    EXPECT_EQ(m_window.windowTitle(), QStringLiteral("APPUNTAMENTO IN SCADENZA"));
    EXPECT_EQ(m_controls.Label3[0]->text(), QStringLiteral("Intervento"));
    EXPECT_EQ(m_controls.Label3[1]->text(), QStringLiteral("Cliente"));
    EXPECT_EQ(m_controls.Label3[2]->text(), QStringLiteral("Appuntamento del"));
    EXPECT_EQ(m_controls.Label3[3]->text(), QStringLiteral("alle ore"));
    EXPECT_EQ(m_controls.Label3[4]->text(), QStringLiteral("Riavvisa tra"));
    EXPECT_EQ(m_controls.lbScaduto->text(), QStringLiteral("SCADUTO"));
    EXPECT_EQ(m_controls.cmdDocumento->text(), QStringLiteral("&Documento"));
    EXPECT_EQ(m_controls.cmdCli[0]->text(), QStringLiteral("&POSTICIPA AVVISO"));
    EXPECT_EQ(m_controls.cmdCli[1]->text(), QStringLiteral("&NON AVVISARE PIU'"));
    EXPECT_TRUE(m_controls.lbCliDes->text().isEmpty());
    EXPECT_TRUE(m_controls.Txt1->text().isEmpty());
    EXPECT_EQ(m_controls.cmbAllarm->count(), 0);
    EXPECT_FALSE(m_controls.cmbAllarm->isEditable());
}

TEST_F(ReminderControlsTest, GeometryIsTheTwipLayoutAtFifteenPerPixel)
{
    EXPECT_EQ(m_window.minimumSize(), QSize(459, 147));
    EXPECT_EQ(m_window.maximumSize(), QSize(459, 147));
    EXPECT_EQ(m_controls.lbCliCod->geometry(), QRect(66, 3, 52, 19));
    EXPECT_EQ(m_controls.LbAziDes->geometry(), QRect(120, 24, 337, 46));
    // 1420 and 740 twips fall between pixels and round to the nearest.
    EXPECT_EQ(m_controls.cmdDocumento->geometry(), QRect(3, 95, 79, 24));
    EXPECT_EQ(m_controls.Txt1->geometry(), QRect(82, 119, 49, 24));
    EXPECT_EQ(m_controls.cmdCli[1]->geometry(), QRect(330, 119, 127, 25));
}

// --- Appearance ---

TEST_F(ReminderControlsTest, LabelsShowStoredTextLiterallyAndWrap)
{
    for (QLabel* label : m_window.findChildren<QLabel*>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        EXPECT_TRUE(label->wordWrap()) << label->objectName().toStdString();
    }
    m_controls.lbCliDes->setText(QStringLiteral("<b>Rossi & Figli</b>"));
    EXPECT_EQ(m_controls.lbCliDes->textFormat(), Qt::PlainText);
}

TEST_F(ReminderControlsTest, FontsFollowTheirNamesOrAStandInOfTheSameSize)
{
    const QFont caption = m_controls.Label3[2]->font();
    EXPECT_EQ(caption.families().value(0), QStringLiteral("MS Sans Serif"));
    EXPECT_DOUBLE_EQ(caption.pointSizeF(), 9.75);
    EXPECT_FALSE(caption.bold());
    EXPECT_TRUE(m_controls.lbCliDes->font().bold());
    EXPECT_DOUBLE_EQ(m_controls.lbCliDes->font().pointSizeF(), 8.25);
    EXPECT_DOUBLE_EQ(m_controls.lbScaduto->font().pointSizeF(), 12);
    const QFont amount = m_controls.Txt1->font();
    EXPECT_EQ(amount.families().value(0), QStringLiteral("Courier New"));
    EXPECT_DOUBLE_EQ(amount.pointSizeF(), 9.75);
    EXPECT_TRUE(QFontInfo(amount).fixedPitch());
}

TEST_F(ReminderControlsTest, ColoursBordersAndAlignment)
{
    EXPECT_TRUE(m_controls.lbCliCod->autoFillBackground());
    EXPECT_EQ(m_controls.lbCliCod->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(m_controls.lbCliCod->frameShape(), QFrame::Box);
    EXPECT_EQ(m_controls.lbCliCod->lineWidth(), 1);
    EXPECT_TRUE(m_controls.lbCliCod->alignment() & Qt::AlignRight);
    EXPECT_TRUE(m_controls.lbScadDD->alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(m_controls.LbAziDes->alignment() & Qt::AlignLeft);
    EXPECT_FALSE(m_controls.Label3[0]->autoFillBackground());
    EXPECT_EQ(m_controls.Label3[0]->frameShape(), QFrame::NoFrame);
    EXPECT_FALSE(m_controls.lbScaduto->autoFillBackground());
    EXPECT_EQ(m_controls.lbScaduto->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(m_controls.lbDocumento->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_EQ(m_controls.lbDocumento->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(m_controls.Txt1->palette().color(QPalette::Text), QColor(0, 0, 64));
    EXPECT_EQ(m_controls.Txt1->palette().color(QPalette::Base), QColor(Qt::white));
}

TEST_F(ReminderControlsTest, WindowBackgroundShowsOnlyThroughTransparentLabels)
{
    const QColor buttonWindow = m_controls.cmdCli[0]->palette().color(QPalette::Window);
    setWindowBackground(m_window, 255);
    EXPECT_EQ(m_window.palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(m_controls.Label3[1]->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_EQ(m_controls.lbCliDes->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(m_controls.cmdCli[0]->palette().color(QPalette::Window), buttonWindow);
    EXPECT_NE(m_controls.cmbAllarm->palette().color(QPalette::Window), QColor(255, 0, 0));
}

TEST(ColourValueTest, RedIsTheLowestByteAndTheTopByteIsIgnored)
{
    EXPECT_EQ(colourFromValue(0), QColor(0, 0, 0));
    EXPECT_EQ(colourFromValue(255), QColor(255, 0, 0));
    EXPECT_EQ(colourFromValue(49152), QColor(0, 192, 0));
    EXPECT_EQ(colourFromValue(0x00FF0000), QColor(0, 0, 255));
    EXPECT_EQ(colourFromValue(0x12345678), QColor(0x78, 0x56, 0x34));
    EXPECT_EQ(colourFromValue(-1), QColor(255, 255, 255));
}

TEST_F(ReminderControlsTest, RecolouringALabelKeepsItsBackground)
{
    setLabelTextColour(*m_controls.LbAziDes, 0x008000);
    EXPECT_EQ(m_controls.LbAziDes->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(m_controls.LbAziDes->palette().color(QPalette::Window), QColor(Qt::white));
}

// --- Focus and keyboard ---

TEST_F(ReminderControlsTest, LabelsNeverTakeTheFocusAndNoButtonIsDefault)
{
    for (QLabel* label : m_window.findChildren<QLabel*>()) {
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus) << label->objectName().toStdString();
    }
    for (QPushButton* button : m_window.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();
        EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
    }
}

TEST_F(ReminderControlsTest, TabWalksTheFocusOrderFromTheAmount)
{
    showActive();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_controls.Txt1->hasFocus(); }));
    const std::vector<QWidget*> order{m_controls.cmdCli[0], m_controls.cmdCli[1], m_controls.cmbAllarm,
                                      m_controls.cmdDocumento, m_controls.Txt1};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_TRUE(QTest::qWaitFor([next] { return next->hasFocus(); })) << next->objectName().toStdString();
    }
}

TEST_F(ReminderControlsTest, EnterAndSpacePressTheFocusedButton)
{
    showActive();
    for (QPushButton* button : {m_controls.cmdCli[0], m_controls.cmdCli[1], m_controls.cmdDocumento}) {
        QSignalSpy clicks(button, &QPushButton::clicked);
        button->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([button] { return button->hasFocus(); }));
        QTest::keyClick(button, Qt::Key_Return);
        EXPECT_EQ(clicks.count(), 1) << button->objectName().toStdString();
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(clicks.count(), 2);
        QTest::keyClick(button, Qt::Key_Space);
        EXPECT_TRUE(QTest::qWaitFor([&clicks] { return clicks.count() == 3; }));
    }
}

TEST_F(ReminderControlsTest, AccessKeysPressTheButtons)
{
    showActive();
    QSignalSpy postpone(m_controls.cmdCli[0], &QPushButton::clicked);
    QTest::keyClick(&m_window, Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&postpone] { return postpone.count() == 1; }));
}

TEST_F(ReminderControlsTest, CaptionsPairWithTheirFields)
{
    EXPECT_EQ(m_controls.Label3[4]->buddy(), m_controls.Txt1);
    EXPECT_EQ(m_controls.Txt1->accessibleName(), QStringLiteral("Riavvisa tra"));
    EXPECT_EQ(m_controls.cmbAllarm->accessibleName(), QStringLiteral("Riavvisa tra, unit\u00e0"));
    EXPECT_EQ(m_controls.lbCliDes->accessibleName(), QStringLiteral("Cliente, nome"));
    EXPECT_EQ(m_controls.LbAziDes->accessibleName(), QStringLiteral("Intervento, descrizione"));
}

} // namespace
} // namespace rp
