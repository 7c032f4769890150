#pragma once

#include "WinApp.h"

class COscimoExporterApp : public CWinApp {
public:
    COscimoExporterApp();

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
