#pragma once

// Fonts need a QGuiApplication; GoogleTest's own main() does not make one,
// so a global environment does, on the offscreen platform.

#include <QGuiApplication>
#include <gtest/gtest.h>
#include <memory>

class GuiApplicationEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "report_test";
    char *m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QGuiApplication> m_app;
};

inline ::testing::Environment *const kGuiApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);
