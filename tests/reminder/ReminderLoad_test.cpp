// The window built through the real load sequence on SQLite files written by the test.
#include "app/engine/EngineError.h"
#include "common/RuntimeError.h"
#include "reminder/ClientAndActionLookups.h"
#include "support/PopupHarness.h"
#include "support/TestStore.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace rp::test {
namespace {

constexpr qint32 Client = 57;
const QString Action = QStringLiteral("MAN");

class ReminderLoad : public ::testing::Test
{
protected:
    void SetUp() override
    {
        due = serialOf(2026, 12, 7, 10, 0, 0);
        popup.desktop.fixedNow = serialOf(2026, 12, 7, 10, 5, 0);
    }

    void addFullAppointment(const QVariant& note = QStringLiteral("Controllo caldaia"),
                            const QVariant& cause = QStringLiteral("MANUTENZIONE"))
    {
        store.addClient(Client, QStringLiteral("ROSSI SRL"), QStringLiteral("ROSSI IMPIANTI"));
        store.addAction(Action, QStringLiteral("MANUTENZIONE ORDINARIA"), 255);
        store.addAppointment(Client, due, Action, note, cause);
        store.addReminder(Client, due, Action, QStringLiteral("/tmp/contratto.pdf"));
    }

    bool start(qint32 client = Client, const QString& action = Action, int slot = 0)
    {
        return popup.start(store.commandLine(client, due, action, slot));
    }

    QColor textColour(QLabel* label) const { return label->palette().color(label->foregroundRole()); }

    ScopedLocale locale{u','};
    TestStore store;
    PopupHarness popup;
    double due = 0;
};

// --- Title, note and cause ---

TEST_F(ReminderLoad, FullAppointmentFillsEveryField)
{
    addFullAppointment(QStringLiteral("  Controllo caldaia  "));
    ASSERT_TRUE(start());
    const ReminderControls& c = popup.controls();
    EXPECT_TRUE(popup.ctx.state.LoadedOk);
    EXPECT_EQ(popup.window->windowTitle(), QStringLiteral("APP. 07/12 10:00-MANUTENZIONE"));
    EXPECT_EQ(c.lbCliCod->text(), QStringLiteral("57"));
    EXPECT_EQ(c.lbCliDes->text(), QStringLiteral("ROSSI SRL >ROSSI IMPIANTI"));
    EXPECT_EQ(c.lbAziCod->text(), Action);
    EXPECT_EQ(c.LbAziDes->text(), QStringLiteral("  Controllo caldaia  ")) << "the note keeps its blanks";
    EXPECT_EQ(c.lbScadDD->text(), QStringLiteral("07/12/26"));
    EXPECT_EQ(c.lbScadHH->text(), QStringLiteral("10:00"));
    EXPECT_EQ(c.lbDocumento->text(), QStringLiteral("/tmp/contratto.pdf"));
    EXPECT_EQ(c.cmbAllarm->count(), 3);
    EXPECT_EQ(c.cmbAllarm->itemText(0), QStringLiteral("minuti"));
    EXPECT_EQ(c.cmbAllarm->itemText(1), QStringLiteral("ore"));
    EXPECT_EQ(c.cmbAllarm->itemText(2), QStringLiteral("giorni"));
    EXPECT_EQ(c.cmbAllarm->currentIndex(), 0);
    EXPECT_EQ(c.Txt1->text(), QStringLiteral("15"));
    EXPECT_TRUE(popup.desktop.messages.empty());
}

TEST_F(ReminderLoad, BlankCauseEndsTitleWithOneBlankAndMissingAppointmentWithTheDash)
{
    addFullAppointment(QStringLiteral("nota"), QVariant());
    ASSERT_TRUE(start());
    EXPECT_EQ(popup.window->windowTitle(), QStringLiteral("APP. 07/12 10:00- "));

    TestStore other;
    other.addReminder(Client, due, Action, QVariant());
    PopupHarness second;
    second.desktop.fixedNow = popup.desktop.fixedNow;
    ASSERT_TRUE(second.start(other.commandLine(Client, due, Action)));
    EXPECT_TRUE(second.ctx.state.LoadedOk);
    EXPECT_EQ(second.window->windowTitle(), QStringLiteral("APP. 07/12 10:00-"));
    EXPECT_EQ(second.controls().LbAziDes->text(), QString()) << "no appointment and no action: the note stays empty";
}

// --- Action description and colour ---

TEST_F(ReminderLoad, DescriptionReplacesBlankNoteButNotARealOne)
{
    addFullAppointment(QStringLiteral("   "));
    ASSERT_TRUE(start());
    EXPECT_EQ(popup.controls().LbAziDes->text(), QStringLiteral("MANUTENZIONE ORDINARIA"));

    TestStore other;
    other.addAction(Action, QStringLiteral("MANUTENZIONE ORDINARIA"), 0);
    other.addAppointment(Client, due, Action, QStringLiteral("Portare il ricambio"), QStringLiteral("C"));
    other.addReminder(Client, due, Action, QVariant());
    PopupHarness second;
    ASSERT_TRUE(second.start(other.commandLine(Client, due, Action)));
    EXPECT_EQ(second.controls().LbAziDes->text(), QStringLiteral("Portare il ricambio"));
}

TEST_F(ReminderLoad, ColourOfTheActionPaintsBothActionLabels)
{
    addFullAppointment();
    ASSERT_TRUE(start());
    EXPECT_EQ(textColour(popup.controls().lbAziCod), QColor(255, 0, 0));
    EXPECT_EQ(textColour(popup.controls().LbAziDes), QColor(255, 0, 0));
}

// Null is black; an unsigned or ARGB colour (0xFF0000FF) colours with its low bytes: the reminder stays usable.
TEST_F(ReminderLoad, NullOrUnsignedColourLeavesTheReminderUsable)
{
    for (const auto& [stored, shown] :
         {std::pair{QVariant(), QColor(0, 0, 0)}, std::pair{QVariant(4278190335LL), QColor(255, 0, 0)}}) {
        TestStore own;
        own.addAction(Action, QStringLiteral("VISITA"), stored);
        own.addAppointment(Client, due, Action, QVariant(), QStringLiteral("C"));
        own.addReminder(Client, due, Action, QVariant());
        PopupHarness run;
        ASSERT_TRUE(run.start(own.commandLine(Client, due, Action)));
        EXPECT_TRUE(run.ctx.state.LoadedOk);
        EXPECT_TRUE(run.desktop.messages.empty());
        EXPECT_EQ(textColour(run.controls().lbAziCod), shown);
        EXPECT_EQ(run.controls().LbAziDes->text(), QStringLiteral("VISITA"));
    }
}

TEST_F(ReminderLoad, ColourThatIsNotANumberEndsTheLoadWithTypeMismatch)
{
    store.addAction(Action, QStringLiteral("VISITA"), QStringLiteral("rosso"));
    store.addAppointment(Client, due, Action, QVariant(), QStringLiteral("C"));
    store.addReminder(Client, due, Action, QVariant());
    ASSERT_TRUE(start());
    EXPECT_FALSE(popup.ctx.state.LoadedOk);
    ASSERT_EQ(popup.desktop.messages.size(), 1u);
    EXPECT_EQ(popup.desktop.messages[0].text, QStringLiteral("13-Tipo non corrispondente"));
    EXPECT_EQ(popup.desktop.messages[0].icon, Desktop::Icon::None);
}

// Signed and unsigned 32-bit colours both colour (ARGB red 0xFF0000FF is red); beyond 32 bits is the overflow.
TEST(ActionColour, StoredSignedOrUnsignedIn32BitsAsNumberOrText)
{
    struct Row
    {
        Value field;
        qint32 colour;
        int error;
    };
    const Row rows[] = {
        {Value::integer(255), 255, 0},
        {Value::integer(-16776961), -16776961, 0},
        {Value::integer(2147483647), 2147483647, 0},
        {Value::integer(4278190335), static_cast<qint32>(0xFF0000FFu), 0},
        {Value::text(QStringLiteral(" 4278190335 ")), static_cast<qint32>(0xFF0000FFu), 0},
        {Value::real(4294967295.4), -1, 0},
        {Value::integer(4294967296), 0, RuntimeError::OverflowNumber},
        {Value::integer(-2147483649), 0, RuntimeError::OverflowNumber},
        {Value::text(QStringLiteral("rosso")), 0, RuntimeError::TypeMismatchNumber},
        {Value(), 0, 0},
    };
    for (const Row& row : rows) {
        const std::string shown = "row " + std::to_string(&row - rows);
        try {
            EXPECT_EQ(ActionColourFromField(row.field), row.colour) << shown;
            EXPECT_EQ(row.error, 0) << shown;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), row.error) << shown;
        }
    }
}

TEST_F(ReminderLoad, UnknownActionLeavesLabelsBlackAndNoteUnchanged)
{
    store.addAppointment(Client, due, QStringLiteral("XYZ"), QStringLiteral("nota"), QStringLiteral("C"));
    store.addReminder(Client, due, QStringLiteral("XYZ"), QVariant());
    ASSERT_TRUE(start(Client, QStringLiteral("XYZ")));
    EXPECT_EQ(popup.controls().LbAziDes->text(), QStringLiteral("nota"));
    EXPECT_EQ(textColour(popup.controls().LbAziDes), QColor(0, 0, 0));
}

// --- Client ---

TEST_F(ReminderLoad, ClientZeroOpensNoTableEvenWhenItIsMissing)
{
    store.exec(store.dataDbPath(), QStringLiteral("DROP TABLE Clienti"));
    store.addReminder(0, due, Action, QVariant());
    ASSERT_TRUE(start(0));
    EXPECT_EQ(popup.controls().lbCliCod->text(), QStringLiteral("0"));
    EXPECT_EQ(popup.controls().lbCliDes->text(), QString());
    EXPECT_TRUE(popup.desktop.messages.empty());
}

TEST_F(ReminderLoad, NegativeClientIsLookedUpAndShownWithItsSign)
{
    store.addClient(-4, QStringLiteral("  ALFA  "), QVariant());
    store.addReminder(-4, due, Action, QVariant());
    ASSERT_TRUE(start(-4));
    EXPECT_EQ(popup.controls().lbCliCod->text(), QStringLiteral("-4"));
    EXPECT_EQ(popup.controls().lbCliDes->text(), QStringLiteral("ALFA"));
}

TEST_F(ReminderLoad, ClientNamesJoinTrimmedAroundTheMark)
{
    store.addClient(Client, QVariant(), QStringLiteral("  ALFA IMPIANTI "));
    store.addReminder(Client, due, Action, QVariant());
    ASSERT_TRUE(start());
    EXPECT_EQ(popup.controls().lbCliDes->text(), QStringLiteral(" >ALFA IMPIANTI"));
}

TEST_F(ReminderLoad, MissingClientTableOffersRetryThenCancelGoesOn)
{
    store.exec(store.dataDbPath(), QStringLiteral("DROP TABLE Clienti"));
    store.addReminder(Client, due, Action, QVariant());
    popup.desktop.nextAnswers = {Desktop::Answer::Retry, Desktop::Answer::Cancel};
    ASSERT_TRUE(start());
    ASSERT_EQ(popup.desktop.messages.size(), 2u) << "Retry asks again, Cancel stops asking";
    const auto& box = popup.desktop.messages[0];
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("ERRORE IN APERTURA TABELLA CLIENTI\n3078: ")))
        << qPrintable(box.text);
    EXPECT_EQ(box.title, QStringLiteral("ERRORE"));
    EXPECT_EQ(box.icon, Desktop::Icon::Exclamation);
    EXPECT_EQ(box.buttons, Desktop::Buttons::RetryCancel);
    EXPECT_TRUE(popup.ctx.state.LoadedOk) << "the load goes on without the client's name";
    EXPECT_EQ(popup.controls().lbCliDes->text(), QString());
}

// --- Document controls ---

TEST_F(ReminderLoad, DocumentControlsFollowThePath)
{
    store.addReminder(Client, due, Action, QStringLiteral("   "));
    ASSERT_TRUE(start());
    EXPECT_TRUE(popup.controls().cmdDocumento->isHidden());
    EXPECT_TRUE(popup.controls().lbDocumento->isHidden());

    TestStore other;
    other.addReminder(Client, due, Action, QStringLiteral("  /srv/doc uno.odt"));
    PopupHarness second;
    ASSERT_TRUE(second.start(other.commandLine(Client, due, Action)));
    EXPECT_FALSE(second.controls().cmdDocumento->isHidden());
    EXPECT_FALSE(second.controls().lbDocumento->isHidden());
    EXPECT_EQ(second.controls().lbDocumento->text(), QStringLiteral("  /srv/doc uno.odt"));
}

// --- Overdue marking ---

TEST_F(ReminderLoad, OverdueByOneMinuteIsRedWithTheMark)
{
    store.addReminder(Client, due, Action, QVariant());
    popup.desktop.fixedNow = due + 1.0 / 1440;
    ASSERT_TRUE(start());
    EXPECT_FALSE(popup.controls().lbScaduto->isHidden());
    EXPECT_EQ(popup.window->palette().color(QPalette::Window), QColor(255, 0, 0));
}

TEST_F(ReminderLoad, DueInAMinuteOrAtThisSecondIsGreenWithoutTheMark)
{
    store.addReminder(Client, due, Action, QVariant());
    for (const double now : {due - 1.0 / 1440, due}) {
        PopupHarness run;
        run.desktop.fixedNow = now;
        ASSERT_TRUE(run.start(store.commandLine(Client, due, Action)));
        EXPECT_TRUE(run.controls().lbScaduto->isHidden());
        EXPECT_EQ(run.window->palette().color(QPalette::Window), QColor(0, 192, 0));
    }
}

// --- Failed loads ---

TEST_F(ReminderLoad, MissingReminderShowsTheLoadErrorAndClosesWithoutAlerts)
{
    store.addAppointment(Client, due, Action, QStringLiteral("nota"), QStringLiteral("C"));
    ASSERT_TRUE(start());
    EXPECT_FALSE(popup.ctx.state.LoadedOk);
    ASSERT_EQ(popup.desktop.messages.size(), 1u);
    EXPECT_EQ(popup.desktop.messages[0].text, QStringLiteral("3021-Nessun record corrente."));
    EXPECT_EQ(popup.desktop.messages[0].buttons, Desktop::Buttons::Ok);
    popup.window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup.window->isUnloaded(); }));
    EXPECT_EQ(popup.desktop.count(QStringLiteral("beep")), 0);
}

TEST_F(ReminderLoad, ReminderOneSecondOffIsNotFound)
{
    store.addReminder(Client, due + 1.0 / 86400, Action, QVariant());
    ASSERT_TRUE(start());
    EXPECT_FALSE(popup.ctx.state.LoadedOk);
    ASSERT_EQ(popup.desktop.messages.size(), 1u);
}

TEST_F(ReminderLoad, MissingWorkDatabaseReportsNumberDashDescription)
{
    QFile::remove(store.workDbPath());
    ASSERT_TRUE(start());
    EXPECT_FALSE(popup.ctx.state.LoadedOk);
    ASSERT_EQ(popup.desktop.messages.size(), 1u);
    EXPECT_TRUE(popup.desktop.messages[0].text.startsWith(QStringLiteral("3024-")))
        << qPrintable(popup.desktop.messages[0].text);
    EXPECT_TRUE(popup.desktop.messages[0].text.contains(store.workDbPath()));
    EXPECT_FALSE(QFile::exists(store.workDbPath())) << "opening never creates the file";
    EXPECT_TRUE(popup.ctx.state.DataDb && popup.ctx.state.VisitsDb) << "the first two databases opened";
}

TEST_F(ReminderLoad, UnusableSettingsEndSilently)
{
    EXPECT_FALSE(popup.start(QString()));
    EXPECT_FALSE(popup.start(store.folder() + QStringLiteral("/nessuno.ini|0|57")));
    QFile settings(store.settingsPath());
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
    settings.write("[BASE]\nOPERATORE=   \n");
    settings.close();
    EXPECT_FALSE(popup.start(store.commandLine(Client, due, Action)));
    EXPECT_TRUE(popup.desktop.messages.empty());
}

// --- Activation alerts ---

TEST_F(ReminderLoad, SoundComesFirstThenExactlyTenBeepsOnce)
{
    QFile sound(store.folder() + QStringLiteral("/avviso.wav"));
    ASSERT_TRUE(sound.open(QIODevice::WriteOnly));
    sound.close();
    store.writeSettings(QStringLiteral("SuonoSN=S\nSuonoPath=%1\nSuonoFile=avviso\nSuonoExt=wav").arg(store.folder()));
    store.addReminder(Client, due, Action, QVariant());
    ASSERT_TRUE(start());
    popup.window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup.desktop.count(QStringLiteral("beep")) >= 10; }));
    EXPECT_EQ(popup.desktop.count(QStringLiteral("beep")), 10);
    const QStringList alerts = popup.desktop.requests.filter(QRegularExpression(QStringLiteral("^(beep|sound:)")));
    ASSERT_EQ(alerts.size(), 11);
    EXPECT_EQ(alerts[0], QStringLiteral("sound:") + store.folder() + QStringLiteral("/avviso.wav"));
    EXPECT_EQ(popup.ctx.state.BeepCounter, 11);
    popup.window->hide();
    popup.window->show();
    QTest::qWait(20);
    EXPECT_EQ(popup.desktop.count(QStringLiteral("beep")), 10) << "alerts are given once per process";
}

TEST_F(ReminderLoad, SoundOffGivesOnlyTheBeeps)
{
    store.addReminder(Client, due, Action, QVariant());
    ASSERT_TRUE(start());
    popup.window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup.desktop.count(QStringLiteral("beep")) >= 10; }));
    EXPECT_EQ(popup.desktop.count(QStringLiteral("beep")), 10);
    EXPECT_TRUE(popup.desktop.requests.filter(QStringLiteral("sound:")).isEmpty());
}

// The first paint is never held up by the alerts: the audio stack loads only once the window is on screen.
TEST_F(ReminderLoad, AlertsFollowTheFirstPaint)
{
    struct PaintRecorder : QObject
    {
        QStringList& requests;
        explicit PaintRecorder(QStringList& r) : requests(r) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) {
                requests << QStringLiteral("paint");
            }
            return false;
        }
    };
    store.addReminder(Client, due, Action, QVariant());
    ASSERT_TRUE(start());
    PaintRecorder recorder(popup.desktop.requests);
    popup.window->installEventFilter(&recorder);
    popup.window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup.desktop.count(QStringLiteral("beep")) >= 10; }));
    const qsizetype firstPaint = popup.desktop.requests.indexOf(QStringLiteral("paint"));
    ASSERT_GE(firstPaint, 0);
    EXPECT_LT(firstPaint, popup.desktop.requests.indexOf(QStringLiteral("beep")));
    popup.window->removeEventFilter(&recorder);
}

TEST_F(ReminderLoad, AWindowNeverPaintedStillBeeps)
{
    store.addReminder(Client, due, Action, QVariant());
    ASSERT_TRUE(start());
    popup.window->setUpdatesEnabled(false);
    popup.window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup.desktop.count(QStringLiteral("beep")) >= 10; }, 2000));
    EXPECT_EQ(popup.desktop.count(QStringLiteral("beep")), 10);
}

// --- Closing ---

TEST_F(ReminderLoad, ClosingTheWindowReleasesEverythingAndChangesNoRow)
{
    addFullAppointment();
    ASSERT_TRUE(start());
    const QVariant before =
        store.scalar(store.workDbPath(), QStringLiteral("SELECT PmAllarm || PmWait FROM Promemoria"));
    popup.window->show();
    popup.window->close();
    EXPECT_TRUE(popup.window->isUnloaded());
    EXPECT_FALSE(popup.ctx.state.AppointmentRs || popup.ctx.state.ReminderRs || popup.ctx.state.WorkDb);
    EXPECT_EQ(store.scalar(store.workDbPath(), QStringLiteral("SELECT PmAllarm || PmWait FROM Promemoria")), before);
    EXPECT_EQ(store.scalar(store.visitsDbPath(), QStringLiteral("SELECT ApAllarm FROM Appuntamenti")), QVariant(30.0));
}

} // namespace
} // namespace rp::test
