#include "common/DaySerial.h"
#include "platform/QtDesktop.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace rp {
namespace {

// --- Files and documents ---

TEST(QtDesktopTest, OnlyExistingOrdinaryFilesCount)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("nota #1 100%.txt"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.close();
    QtDesktop desktop;
    EXPECT_TRUE(desktop.isOrdinaryFile(file));
    EXPECT_FALSE(desktop.isOrdinaryFile(dir.path()));
    EXPECT_FALSE(desktop.isOrdinaryFile(dir.filePath(QStringLiteral("missing.txt"))));
    EXPECT_FALSE(desktop.isOrdinaryFile(QString()));
}

TEST(QtDesktopTest, OpeningAMissingFileOrAFolderIsFileNotFound)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtDesktop desktop;
    EXPECT_EQ(desktop.openDocument(dir.filePath(QStringLiteral("assente.pdf"))), 2);
    EXPECT_EQ(desktop.openDocument(dir.path()), 2);
    EXPECT_EQ(desktop.openDocument(QString()), 2);
}

// --- Clock ---

TEST(QtDesktopTest, NowIsTheLocalTimeAsADaySerial)
{
    QtDesktop desktop;
    const QDateTime before = QDateTime::currentDateTime();
    const double serial = desktop.now();
    const QDateTime after = QDateTime::currentDateTime();
    const QDate epoch(1899, 12, 30);
    const auto serialOf = [&epoch](const QDateTime& t) {
        return static_cast<double>(epoch.daysTo(t.date())) + t.time().msecsSinceStartOfDay() / 86400000.0;
    };
    const double tolerance = 1.0 / 86400000.0;
    EXPECT_GE(serial, serialOf(before) - tolerance);
    EXPECT_LE(serial, serialOf(after) + tolerance);
}

// --- Message boxes ---

// Answers the next modal message box by the text of one of its buttons, recording what it showed.
struct BoxAnswerer
{
    explicit BoxAnswerer(QString text) : buttonText(std::move(text)) {}

    QString buttonText;
    QString seenTitle;
    QString seenText;
    QStringList seenButtons;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;

    void arm()
    {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                arm();
                return;
            }
            seenTitle = box->windowTitle();
            seenText = box->text();
            seenIcon = box->icon();
            for (QAbstractButton* button : box->buttons()) {
                seenButtons << button->text();
                if (button->text() == buttonText) {
                    button->click();
                }
            }
        });
    }
};

TEST(QtDesktopTest, RetryCancelBoxSpeaksItalianAndReportsTheChoice)
{
    QtDesktop desktop;
    BoxAnswerer answerer{QStringLiteral("Riprova")};
    answerer.arm();
    EXPECT_EQ(desktop.showMessage(QStringLiteral("<b>ERRORE</b>"), QStringLiteral("TITOLO"), Desktop::Icon::Exclamation,
                                  Desktop::Buttons::RetryCancel),
              Desktop::Answer::Retry);
    EXPECT_EQ(answerer.seenTitle, QStringLiteral("TITOLO"));
    EXPECT_EQ(answerer.seenText, QStringLiteral("<b>ERRORE</b>"));
    EXPECT_EQ(answerer.seenIcon, QMessageBox::Warning);
    EXPECT_TRUE(answerer.seenButtons.contains(QStringLiteral("Annulla")));

    BoxAnswerer canceller{QStringLiteral("Annulla")};
    canceller.arm();
    EXPECT_EQ(desktop.showMessage(QStringLiteral("x"), QStringLiteral("y"), Desktop::Icon::Critical,
                                  Desktop::Buttons::RetryCancel),
              Desktop::Answer::Cancel);
    EXPECT_EQ(canceller.seenIcon, QMessageBox::Critical);
}

TEST(QtDesktopTest, OkBoxHasOneOkButton)
{
    QtDesktop desktop;
    BoxAnswerer answerer{QStringLiteral("OK")};
    answerer.arm();
    EXPECT_EQ(desktop.showMessage(QStringLiteral("x"), QStringLiteral("y"), Desktop::Icon::None, Desktop::Buttons::Ok),
              Desktop::Answer::Ok);
    EXPECT_EQ(answerer.seenButtons, QStringList{QStringLiteral("OK")});
    EXPECT_EQ(answerer.seenIcon, QMessageBox::NoIcon);
}

} // namespace
} // namespace rp
