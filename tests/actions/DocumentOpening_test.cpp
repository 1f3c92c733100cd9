// The document button: the path goes to the desktop once and unchanged; a failure is reported with the path.
#include "actions/DocumentOpening.h"
#include "support/PopupHarness.h"
#include "support/TestStore.h"

#include <QPushButton>
#include <gtest/gtest.h>

namespace rp::test {
namespace {

TEST(DocumentOpening, SuccessShowsNothing)
{
    FakeDesktop desktop;
    ShellOpen(desktop, QStringLiteral("/srv/doc uno; rm -rf $(pwd).odt"));
    EXPECT_EQ(desktop.requests, QStringList{QStringLiteral("open:/srv/doc uno; rm -rf $(pwd).odt")});
    EXPECT_TRUE(desktop.messages.empty());
}

TEST(DocumentOpening, FailureNamesThePathInTextAndTitle)
{
    FakeDesktop desktop;
    desktop.openDocumentResult = 2;
    ShellOpen(desktop, QStringLiteral("/srv/manca.pdf"));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, QStringLiteral("ERRORE DI ESECUZIONE DEL PROGRAMMA  '/srv/manca.pdf' "));
    EXPECT_EQ(desktop.messages[0].title, QStringLiteral("ERRORE IN ESECUZIONE DI '/srv/manca.pdf'"));
    EXPECT_EQ(desktop.messages[0].icon, Desktop::Icon::Critical);
    EXPECT_EQ(desktop.messages[0].buttons, Desktop::Buttons::Ok);

    desktop.openDocumentResult = 0;
    ShellOpen(desktop, QStringLiteral("/srv/x"));
    EXPECT_EQ(desktop.messages[1].text, QStringLiteral("MEMORIA DI SISTEMA INSUFFICIENTE"));
}

TEST(DocumentOpening, ButtonHandsOverTheLabelAsShownAndKeepsTheWindowOpen)
{
    TestStore store;
    const double due = serialOf(2026, 12, 7, 10, 0, 0);
    store.addReminder(57, due, QStringLiteral("MAN"), QStringLiteral("  /srv/doc uno.odt"));
    PopupHarness popup;
    popup.desktop.openDocumentResult = 2;
    ASSERT_TRUE(popup.start(store.commandLine(57, due, QStringLiteral("MAN"))));
    popup.controls().cmdDocumento->click();
    popup.controls().cmdDocumento->click();
    EXPECT_EQ(popup.desktop.requests.filter(QStringLiteral("open:")),
              QStringList(2, QStringLiteral("open:  /srv/doc uno.odt")));
    EXPECT_EQ(popup.desktop.messages.size(), 2u);
    EXPECT_FALSE(popup.window->isUnloaded());
    EXPECT_EQ(store.scalar(store.workDbPath(), QStringLiteral("SELECT count(*) FROM Promemoria")), QVariant(1LL));
}

} // namespace
} // namespace rp::test
