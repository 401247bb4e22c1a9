#pragma once
#include <windows.h>

class CCmdTarget;

// Calls one handler member on its object, unpacking the message's parameters.
using AFX_PMSG = LRESULT (*)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

// One row of a message map: which message (and, for WM_COMMAND, which code and id) goes where.
struct AFX_MSGMAP_ENTRY
{
    UINT nMessage;
    UINT nCode;
    UINT nID;
    AFX_PMSG pfn;
};

// A class's message map: its own rows and the way to its base class's map.
struct AFX_MSGMAP
{
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Base of every object that receives messages through a message map.
class CCmdTarget
{
public:
    virtual ~CCmdTarget() = default;

    // Looks the message up in this object's map and its bases' maps and calls the handler.
    bool OnCmdMsg(UINT nMessage, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

#define DECLARE_MESSAGE_MAP()                              \
protected:                                                 \
    static const AFX_MSGMAP* GetThisMessageMap();          \
    const AFX_MSGMAP* GetMessageMap() const override;

// The handlers are reached through captureless lambdas defined inside a member of the
// class, so protected handlers are reachable and each call is type-checked.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                \
    {                                                                              \
        using ThisClass = theClass;                                                \
        using TheBaseClass = baseClass;                                            \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                          \
            {0, 0, 0, nullptr}                                                     \
        };                                                                         \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &messageMap;                                                        \
    }

#define AFX_THIS(pTarget) static_cast<ThisClass*>(pTarget)

#define ON_COMMAND(id, memberFxn)                                                  \
    {WM_COMMAND, 0, (id), [](CCmdTarget* pTarget, WPARAM, LPARAM) -> LRESULT {     \
        (AFX_THIS(pTarget)->*(memberFxn))(); return 0; }},

#define ON_BN_CLICKED(id, memberFxn)                                               \
    {WM_COMMAND, BN_CLICKED, (id), [](CCmdTarget* pTarget, WPARAM, LPARAM) -> LRESULT { \
        (AFX_THIS(pTarget)->*(memberFxn))(); return 0; }},

#define ON_WM_PAINT()                                                              \
    {WM_PAINT, 0, 0, [](CCmdTarget* pTarget, WPARAM, LPARAM) -> LRESULT {          \
        AFX_THIS(pTarget)->OnPaint(); return 0; }},

#define ON_WM_QUERYDRAGICON()                                                      \
    {WM_QUERYDRAGICON, 0, 0, [](CCmdTarget* pTarget, WPARAM, LPARAM) -> LRESULT {  \
        return reinterpret_cast<LRESULT>(AFX_THIS(pTarget)->OnQueryDragIcon()); }},

#define ON_WM_SHOWWINDOW()                                                         \
    {WM_SHOWWINDOW, 0, 0, [](CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam) -> LRESULT { \
        AFX_THIS(pTarget)->OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam)); \
        return 0; }},
