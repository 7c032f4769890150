#pragma once

#include <string>

#include "DialogEx.h"
#include "LoadedRecording.h"
#include "resource.h"

// The main window: choose a recording, read its summary, export it as CSV.
class COscimoExporterDlg : public CDialogEx {
public:
    explicit COscimoExporterDlg(CWnd* parent = nullptr);

    enum { IDD = IDD_MAIN_DIALOG };

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;
    void OnSysCommand(UINT id, LPARAM parameter);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnBrowse();
    void OnDropFiles(HDROP dropInfo);
    void OnExportCsv();
    // Reads the recording at path as a choice in the file dialog does.
    void OpenRecording(const std::wstring& path);

    // Counts the commands running (a file dialog, a message box, the About box open): a
    // recording dropped meanwhile would change what they act on, and is left unread.
    struct CCommandRunning {
        explicit CCommandRunning(int& count) : m_count(++count) {}
        ~CCommandRunning() { --m_count; }
        int& m_count;
    };
    int m_nCommandsRunning = 0;

    HICON m_hIcon;  // shared resource icon: LoadIconW's icons need no destroying
    LoadedRecording m_recording;
    std::wstring m_strFilePath;
    std::wstring m_strInfo;

    DECLARE_MESSAGE_MAP()
};
