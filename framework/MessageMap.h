#pragma once

// Message maps: flat tables that bind window messages and button clicks to On... members.
// Each entry's thunk unpacks WPARAM/LPARAM so that handlers take typed arguments.

#include <windows.h>

class CCmdTarget;

struct AFX_MSGMAP_ENTRY {
    UINT message;
    UINT code;  // notification code of WM_COMMAND entries
    UINT id;    // control or command id of WM_COMMAND entries
    LRESULT (*invoke)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* base;
    const AFX_MSGMAP_ENTRY* entries;  // ends with an entry whose invoke is null
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    virtual const AFX_MSGMAP* GetMessageMap() const { return GetThisMessageMap(); }
    static const AFX_MSGMAP* GetThisMessageMap();

    // The first entry that handles the message, searching this class's map before its bases'.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT code, UINT id) const;
};

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
    static const AFX_MSGMAP* GetThisMessageMap();      \
    const AFX_MSGMAP* GetMessageMap() const override { \
        return GetThisMessageMap();                    \
    }

#define BEGIN_MESSAGE_MAP(theClass, baseClass)        \
    const AFX_MSGMAP* theClass::GetThisMessageMap() { \
        using ThisClass [[maybe_unused]] = theClass;  \
        using TheBaseClass = baseClass;               \
        static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                    \
    { 0, 0, 0, nullptr }                                                     \
    }                                                                        \
    ;                                                                        \
    static const AFX_MSGMAP map{TheBaseClass::GetThisMessageMap(), entries}; \
    return &map;                                                             \
    }

#define AFX_THUNK(body)                                    \
    [](CCmdTarget* target, [[maybe_unused]] WPARAM wParam, \
       [[maybe_unused]] LPARAM lParam) -> LRESULT { body }

// void OnSysCommand(UINT id, LPARAM parameter)
#define ON_WM_SYSCOMMAND()                                                                        \
    {                                                                                             \
        WM_SYSCOMMAND, 0, 0,                                                                      \
            AFX_THUNK(                                                                            \
                static_cast<ThisClass*>(target)->OnSysCommand(static_cast<UINT>(wParam), lParam); \
                return 0;)                                                                        \
    }                                                                                             \
    ,

// void OnPaint()
#define ON_WM_PAINT()                                                                    \
    { WM_PAINT, 0, 0, AFX_THUNK(static_cast<ThisClass*>(target)->OnPaint(); return 0;) } \
    ,

// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                                          \
    {                                                                                  \
        WM_QUERYDRAGICON, 0, 0,                                                        \
            AFX_THUNK(return reinterpret_cast<LRESULT>(                                \
                                 static_cast<ThisClass*>(target)->OnQueryDragIcon());) \
    }                                                                                  \
    ,

// void OnDropFiles(HDROP dropInfo)
#define ON_WM_DROPFILES()                                                                      \
    {                                                                                          \
        WM_DROPFILES, 0, 0,                                                                    \
            AFX_THUNK(                                                                         \
                static_cast<ThisClass*>(target)->OnDropFiles(reinterpret_cast<HDROP>(wParam)); \
                return 0;)                                                                     \
    }                                                                                          \
    ,

// void memberFxn() for a click on button id
#define ON_BN_CLICKED(id, memberFxn)                                                \
    {                                                                               \
        WM_COMMAND, BN_CLICKED, id,                                                 \
            AFX_THUNK((static_cast<ThisClass*>(target)->*(memberFxn))(); return 0;) \
    }                                                                               \
    ,

// void memberFxn() for command id (menu, accelerator)
#define ON_COMMAND(id, memberFxn)                                                                  \
    { WM_COMMAND, 0, id, AFX_THUNK((static_cast<ThisClass*>(target)->*(memberFxn))(); return 0;) } \
    ,
