#include "OscimoExporterDlg.h"

#include <memory>
#include <type_traits>

#include "AboutDlg.h"
#include "CsvExport.h"
#include "FileDialog.h"
#include "FileIdentity.h"
#include "MessageBox.h"
#include "ReplaceFile.h"

BEGIN_MESSAGE_MAP(COscimoExporterDlg, CDialogEx)
// void OnSysCommand(UINT id, LPARAM parameter)
ON_WM_SYSCOMMAND()
// void OnPaint()
ON_WM_PAINT()
// HCURSOR OnQueryDragIcon()
ON_WM_QUERYDRAGICON()
// void OnBrowse()
ON_BN_CLICKED(IDC_BROWSE, &COscimoExporterDlg::OnBrowse)
// void OnDropFiles(HDROP dropInfo)
ON_WM_DROPFILES()
// void OnExportCsv()
ON_BN_CLICKED(IDC_EXPORT_CSV, &COscimoExporterDlg::OnExportCsv)
END_MESSAGE_MAP()

COscimoExporterDlg::COscimoExporterDlg(CWnd* parent)
    : CDialogEx(IDD, parent),
      m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

void COscimoExporterDlg::DoDataExchange(CDataExchange* exchange) {
    CDialogEx::DoDataExchange(exchange);
    DDX_Text(exchange, IDC_FILE_PATH, m_strFilePath);
    DDX_Text(exchange, IDC_INFO, m_strInfo);
}

BOOL COscimoExporterDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();

    if (const HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
        const wchar_t* about = nullptr;
        const int length = ::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX,
                                         reinterpret_cast<LPWSTR>(&about), 0);
        if (length > 0) {
            const std::wstring text(about, static_cast<std::size_t>(length));
            ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, text.c_str());
        }
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    DragAcceptFiles();
    return TRUE;  // the dialog manager focuses the first tab stop, the path box
}

void COscimoExporterDlg::OnSysCommand(UINT id, LPARAM parameter) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        const CCommandRunning running(m_nCommandsRunning);
        CAboutDlg about;
        about.DoModal();
    } else {
        CDialogEx::OnSysCommand(id, parameter);
    }
}

void COscimoExporterDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) {
        CDialogEx::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR COscimoExporterDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void COscimoExporterDlg::OnBrowse() {
    const CCommandRunning running(m_nCommandsRunning);
    CFileDialog dialog(TRUE, L"", nullptr, OFN_ENABLESIZING, nullptr, this);
    if (dialog.DoModal() != IDOK) return;
    OpenRecording(dialog.GetPathName());
}

void COscimoExporterDlg::OnDropFiles(HDROP dropInfo) {
    // The first of the files dropped; the system's block is freed on every way out.
    const std::unique_ptr<std::remove_pointer_t<HDROP>, decltype(&::DragFinish)> drop(dropInfo,
                                                                                      ::DragFinish);
    std::wstring path(::DragQueryFileW(dropInfo, 0, nullptr, 0), L'\0');
    if (path.empty() || m_nCommandsRunning > 0) return;
    const CCommandRunning running(m_nCommandsRunning);
    ::DragQueryFileW(dropInfo, 0, path.data(), static_cast<UINT>(path.size() + 1));
    OpenRecording(path);
}

void COscimoExporterDlg::OpenRecording(const std::wstring& path) {
    m_strFilePath = path;
    m_strInfo.clear();
    // Shown before loading, so that a load ended by memory exhaustion leaves no stale summary.
    UpdateData(FALSE);
    std::wstring summary;
    bool loaded = false;
    {
        CWaitCursor busy;
        loaded = m_recording.LoadRecording(m_strFilePath, summary);
    }
    if (loaded) {
        m_strInfo = summary;
    } else {
        AfxMessageBox(L"读取文件失败，可能是文件被占用或格式错误！");
    }
    UpdateData(FALSE);
}

void COscimoExporterDlg::OnExportCsv() {
    const CCommandRunning running(m_nCommandsRunning);
    if (m_recording.rows.empty()) {
        AfxMessageBox(L"没有数据可导出!");
        return;
    }
    const std::wstring suggestion = DefaultExportName(m_strFilePath);
    CFileDialog dialog(FALSE, L".csv", suggestion.c_str(), OFN_OVERWRITEPROMPT | OFN_ENABLESIZING,
                       L"CSV Files(*.csv)|*.csv||", this);
    if (dialog.DoModal() != IDOK) return;
    if (IsSameFile(dialog.GetPathName(), m_strFilePath)) {
        AfxMessageBox(L"导出失败，目标文件就是已载入的数据文件本身！");
        return;
    }

    // Written beside the target and moved over it only once complete: a failed export keeps
    // an earlier file as it was. Write and close failures raise and are reported by the layer.
    CReplaceFile file;
    CFileException error(CFileException::none, -1);
    if (!file.Open(dialog.GetPathName().c_str(), CReplaceFile::modeCreate | CReplaceFile::modeWrite,
                   &error)) {
        wchar_t message[512] = {};
        error.GetErrorMessage(message, 512);  // 511 characters and the terminator
        AfxMessageBox(message);
        return;
    }
    {
        CWaitCursor busy;
        WriteCsv(file, m_recording);
        file.Close();
    }
    AfxMessageBox(L"导出成功");
}
