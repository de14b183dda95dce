#include "Helpers/Windows/HostingWindowController.h"
#include "tests/support/OffscreenTest.h"

#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace faciward::helpers {
namespace {

using testing::spinUntil;

// Lets what the event loop deletes later (deleteLater) go now.
void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// A window its owner holds and deletes itself, of each kind a caller may pass,
// with the content it showed before. Each must take the new content as its
// kind expects, outlive its controller, and be deleted by its owner alone (the
// sanitizer builds report a second deletion or a freed layout read later).
TEST(HostingWindowLifetimeTest, givenWindowsTakeTheContentAndStayTheirOwners)
{
    testing::widgetApplication();
    testing::ExpectStderr offscreen("This plugin does not support");
    struct Kind {
        const char *name;
        std::function<QWidget *(QWidget *former)> make;
    } const kinds[] = {
        {"plain window",
         [](QWidget *former) {
             auto *window = new QWidget;
             (new QVBoxLayout(window))->addWidget(former);
             return window;
         }},
        {"dialog",
         [](QWidget *former) {
             auto *window = new QDialog;
             (new QVBoxLayout(window))->addWidget(former);
             return window;
         }},
        {"main window",
         [](QWidget *former) {
             auto *window = new QMainWindow;
             window->menuBar()->addMenu(QStringLiteral("File"));
             window->setCentralWidget(former);
             return window;
         }},
    };
    for (const Kind &kind : kinds) {
        SCOPED_TRACE(kind.name);
        QPointer<QWidget> former = new QLabel(QStringLiteral("Before"));
        std::unique_ptr<QWidget> owned(kind.make(former));
        auto *content = new QLabel(QStringLiteral("Face configuration"));
        auto items = std::vector<std::shared_ptr<ToolbarItem>>{std::make_shared<CustomToolbarItem>(
            QStringLiteral("save"), QStringLiteral("Save"), QString(), QIcon(), [] {})};
        auto controller = std::make_unique<HostingWindowController>(owned.get(), content, items);
        flushDeferredDeletes();
        EXPECT_FALSE(former) << "what it showed before goes";
        ASSERT_TRUE(owned->isAncestorOf(content));
        if (auto *mainWindow = qobject_cast<QMainWindow *>(owned.get())) {
            EXPECT_TRUE(mainWindow->centralWidget()->isAncestorOf(content));
            EXPECT_EQ(mainWindow->menuBar()->actions().size(), 1) << "its own bars stay";
        }
        owned->show();
        owned->resize(owned->size() + QSize(20, 10)); // the window's layout at work
        QTest::mouseClick(owned->windowHandle(), Qt::LeftButton, {}, content->mapTo(owned.get(), QPoint(2, 2)));
        spinUntil([&] { return content->isVisible(); });
        EXPECT_TRUE(content->isVisible());

        // A flow started again takes the same window over while the first
        // controller is still there; the first one's chrome is gone by then.
        auto second = std::make_unique<HostingWindowController>(owned.get(), new QLabel(QStringLiteral("Again")));
        second->setStyleMask(WindowConfiguration::hideTitleBar);
        second->setTitlebarAppearsTransparent(true);
        controller.reset();
        owned->resize(owned->size() + QSize(20, 10));
        spinUntil([&] { return owned->isVisible(); });

        QPointer<QWidget> window = owned.get();
        second.reset();
        flushDeferredDeletes();
        EXPECT_TRUE(window) << "the controller never deletes a window it did not make";
        owned.reset(); // the one deletion
    }
}

} // namespace
} // namespace faciward::helpers
