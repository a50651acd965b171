#pragma once

#include "app/RaviraZazuDlg.h"

#include <memory>

class CSingleInstanceGuard;

// The application: one copy per user, then the main window shown modally until it closes.
class CRaviraZazuApp
{
public:
    explicit CRaviraZazuApp(CRaviraZazuDlg::Options options = {});
    ~CRaviraZazuApp();

    // Runs the tool; returns the process's exit status.
    int InitInstance();

private:
    CRaviraZazuDlg::Options m_options;
    std::unique_ptr<CSingleInstanceGuard> m_guard;
};
