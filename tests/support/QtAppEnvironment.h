#pragma once
// The one Qt application of a test binary (gtest_main provides main): a QApplication when the
// test links Qt Widgets, a QCoreApplication otherwise. Made in SetUp and deleted in TearDown,
// inside the test run: a static application would outlive Qt's own statics at exit.
//
// Waits in tests use QTest::qWaitFor and QTest::qWait: both run the event loop and delete the
// objects whose deletion is pending, as the application's own loop does once a handler returns
// (windows closed from a test body, outside any event loop, go there).

#include <gtest/gtest.h>

#ifdef QT_WIDGETS_LIB
#include <QApplication>
#else
#include <QCoreApplication>
#endif

namespace velor::test {

class QtAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance() != nullptr) return;
#ifdef QT_WIDGETS_LIB
        app_ = new QApplication(argc_, argv_);
#else
        app_ = new QCoreApplication(argc_, argv_);
#endif
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    int argc_ = 1;
    char name_[11] = "velor_test";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication* app_ = nullptr;
};

inline ::testing::Environment* const kQtAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

}  // namespace velor::test
