// The box wrappers and the one handler wrapper every window runs through.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <stdexcept>

#include "core/Errors.h"
#include "forms/MessageBox.h"

namespace aktarim {
namespace {

class MessageBoxTest : public ::testing::Test {
  protected:
    void SetUp() override { MessageBox::clearShown(); }
};

TEST_F(MessageBoxTest, RunHandlerShowsWhatEndedTheHandlerAndReturns) {
    struct Case {
        const char* what;
        std::function<void()> body;
        bool finished;
        const char* shown;  // nullptr: no box
    };
    const std::array<Case, 4> cases = {{
        {"no error", [] {}, true, nullptr},
        {"conversion",
         [] { throw AppError(ErrorKind::Conversion, "'x1' is not a valid integer value"); }, false,
         "'x1' is not a valid integer value"},
        {"io", [] { throw AppError(ErrorKind::Io, "Unable to write to /tmp/cihazlar.ini"); }, false,
         "Unable to write to /tmp/cihazlar.ini"},
        {"other", [] { throw std::runtime_error("Disk dolu: ğüşıöç"); }, false,
         "Disk dolu: ğüşıöç"},
    }};
    for (const Case& c : cases) {
        MessageBox::clearShown();
        bool after = false;
        const bool finished = RunHandler(nullptr, [&] {
            c.body();
            after = true;
        });
        EXPECT_EQ(finished, c.finished) << c.what;
        EXPECT_EQ(after, c.finished) << c.what << ": the rest of the handler is skipped";
        if (c.shown == nullptr) {
            EXPECT_TRUE(MessageBox::shown().empty()) << c.what;
        } else {
            ASSERT_EQ(MessageBox::shown().size(), 1u) << c.what;
            EXPECT_EQ(MessageBox::shown()[0].kind, MessageBox::Kind::Error);
            EXPECT_EQ(MessageBox::shown()[0].caption, QStringLiteral("Aktarım"));
            EXPECT_EQ(MessageBox::shown()[0].text, QString::fromUtf8(c.shown));
        }
    }
}

TEST_F(MessageBoxTest, NextAnswerIsUsedOnceThenTheDefaultButton) {
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    EXPECT_EQ(MessageBox::Show(nullptr, MessageBox::Kind::Message, "Kaydedilsin mi?",
                               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok),
              QMessageBox::Cancel);
    EXPECT_EQ(MessageBox::Show(nullptr, MessageBox::Kind::Message, "Kaydedilsin mi?",
                               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok),
              QMessageBox::Ok);
    ShowMessage(nullptr, QStringLiteral("Bağlantı Kurulamadı"));
    ASSERT_EQ(MessageBox::shown().size(), 3u);
    EXPECT_EQ(MessageBox::shown()[2].kind, MessageBox::Kind::Message);
    EXPECT_EQ(MessageBox::shown()[2].text, QStringLiteral("Bağlantı Kurulamadı"));
}

TEST_F(MessageBoxTest, WebPagesAreOnlyRecordedInTestMode) {
    WebPage::clearOpened();
    WebPage::Open(QUrl(QStringLiteral("https://www.example.com/")));
    ASSERT_EQ(WebPage::opened().size(), 1u);
    EXPECT_EQ(WebPage::opened()[0].toString(), QStringLiteral("https://www.example.com/"));
}

}  // namespace
}  // namespace aktarim
