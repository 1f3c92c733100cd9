// The one-sentence summary that assistive technology reads for the window.
#include "reminder/ReminderControls.h"
#include "reminder/ReminderDescription.h"
#include "support/PopupHarness.h"
#include "support/TestStore.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace rp::test {
namespace {

// --- The sentence from the fields' texts ---

class ReminderDescriptionText : public ::testing::Test
{
protected:
    void SetUp() override
    {
        c = buildReminderControls(window);
        c.lbCliCod->setText(QStringLiteral("57"));
        c.lbCliDes->setText(QStringLiteral("ROSSI SRL >ROSSI IMPIANTI"));
        c.lbAziCod->setText(QStringLiteral("MAN"));
        c.LbAziDes->setText(QStringLiteral("Controllo caldaia"));
        c.lbScadDD->setText(QStringLiteral("07/12/26"));
        c.lbScadHH->setText(QStringLiteral("10:00"));
    }

    QWidget window;
    ReminderControls c;
};

TEST_F(ReminderDescriptionText, OverdueAndInTimeDifferOnlyInTheLastClause)
{
    EXPECT_EQ(describeReminder(c, true),
              QStringLiteral("Promemoria: cliente 57 ROSSI SRL >ROSSI IMPIANTI, intervento MAN, Controllo caldaia, "
                             "appuntamento del 07/12/26 alle ore 10:00, SCADUTO."));
    EXPECT_EQ(describeReminder(c, false),
              QStringLiteral("Promemoria: cliente 57 ROSSI SRL >ROSSI IMPIANTI, intervento MAN, Controllo caldaia, "
                             "appuntamento del 07/12/26 alle ore 10:00, non ancora scaduto."));
}

TEST_F(ReminderDescriptionText, BlankFieldsAreLeftOutAndLineBreaksBecomeSpaces)
{
    c.lbCliDes->setText(QString());
    c.LbAziDes->setText(QStringLiteral("  \n "));
    EXPECT_EQ(
        describeReminder(c, true),
        QStringLiteral("Promemoria: cliente 57, intervento MAN, appuntamento del 07/12/26 alle ore 10:00, SCADUTO."));

    c.LbAziDes->setText(QStringLiteral("Portare\nil ricambio\r\n  della pompa"));
    EXPECT_EQ(describeReminder(c, false),
              QStringLiteral("Promemoria: cliente 57, intervento MAN, Portare il ricambio della pompa, "
                             "appuntamento del 07/12/26 alle ore 10:00, non ancora scaduto."));
}

TEST_F(ReminderDescriptionText, FieldsAreNamedAfterTheirCaptionWithTheirValue)
{
    c.lbDocumento->setText(QString());
    nameFieldsAfterTheirCaptions(c);
    EXPECT_EQ(c.lbCliCod->accessibleName(), QStringLiteral("Cliente, codice: 57"));
    EXPECT_EQ(c.lbCliDes->accessibleName(), QStringLiteral("Cliente, nome: ROSSI SRL >ROSSI IMPIANTI"));
    EXPECT_EQ(c.lbAziCod->accessibleName(), QStringLiteral("Intervento, codice: MAN"));
    EXPECT_EQ(c.LbAziDes->accessibleName(), QStringLiteral("Intervento, descrizione: Controllo caldaia"));
    EXPECT_EQ(c.lbScadDD->accessibleName(), QStringLiteral("Appuntamento del: 07/12/26"));
    EXPECT_EQ(c.lbScadHH->accessibleName(), QStringLiteral("alle ore: 10:00"));
    EXPECT_EQ(c.lbDocumento->accessibleName(), QStringLiteral("Documento"));

    // Named again after a change: the name follows the value, never an older one.
    c.LbAziDes->setText(QStringLiteral("Portare\nil ricambio"));
    nameFieldsAfterTheirCaptions(c);
    EXPECT_EQ(c.LbAziDes->accessibleName(), QStringLiteral("Intervento, descrizione: Portare il ricambio"));
}

// --- Set by the window at the end of a real load ---

TEST(ReminderDescriptionAfterLoad, WindowDescribesWhatItShowsOnlyOnceSetUpIsComplete)
{
    ScopedLocale locale{u','};
    TestStore store;
    const double due = serialOf(2026, 12, 7, 10, 0, 0);
    store.addClient(57, QStringLiteral("ROSSI SRL"), QStringLiteral("ROSSI IMPIANTI"));
    store.addAction(QStringLiteral("MAN"), QStringLiteral("MANUTENZIONE ORDINARIA"), 255);
    store.addAppointment(57, due, QStringLiteral("MAN"), QVariant(), QStringLiteral("VERIFICA"));
    store.addReminder(57, due, QStringLiteral("MAN"), QVariant());

    PopupHarness overdue;
    overdue.desktop.fixedNow = due + 1.0 / 1440;
    ASSERT_TRUE(overdue.start(store.commandLine(57, due, QStringLiteral("MAN"))));
    EXPECT_EQ(
        overdue.window->accessibleDescription(),
        QStringLiteral("Promemoria: cliente 57 ROSSI SRL >ROSSI IMPIANTI, intervento MAN, MANUTENZIONE ORDINARIA, "
                       "appuntamento del 07/12/26 alle ore 10:00, SCADUTO."));

    PopupHarness inTime;
    inTime.desktop.fixedNow = due;
    ASSERT_TRUE(inTime.start(store.commandLine(57, due, QStringLiteral("MAN"))));
    EXPECT_TRUE(inTime.window->accessibleDescription().endsWith(QStringLiteral(", non ancora scaduto.")));
    EXPECT_EQ(inTime.window->controls().lbCliDes->accessibleName(),
              QStringLiteral("Cliente, nome: ROSSI SRL >ROSSI IMPIANTI"));

    // No reminder row: the load stops before the set-up, and a half-filled window must not claim a summary.
    PopupHarness failed;
    failed.desktop.fixedNow = due;
    ASSERT_TRUE(failed.start(store.commandLine(57, due + 1, QStringLiteral("MAN"))));
    EXPECT_FALSE(failed.ctx.state.LoadedOk);
    EXPECT_TRUE(failed.window->accessibleDescription().isEmpty());
}

} // namespace
} // namespace rp::test
