// The installation engine of the components page: the tree mover with its replace question
// and failure notices, and the installation run with its summary.
#include "ComponentsDlg.h"

#include <cerrno>
#include <vector>

#include "ReplaceDlg.h"
#include "resource.h"

// The process's current directory, whatever its length.
static CString CurrentDirectory()
{
    std::vector<wchar_t> buffer(::GetCurrentDirectoryW(0, nullptr) + 1);
    DWORD nLength = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    return Narrow(buffer.data(), static_cast<int>(nLength < buffer.size() ? nLength : 0));
}

void CComponentsDlg::RunInstallation(CString strVcPath, CString strSystemPath)
{
    // A package at a drive root keeps the root's backslash, so its folders read X:\\VC7.
    CString strPackage = CurrentDirectory();
    bool bOk = true;
    if (m_bAppWizardFiles)
        bOk = InstallComponent(strPackage + "\\VC7", strVcPath);
    if (m_bMfcFiles && bOk)
        bOk = InstallComponent(strPackage + "\\System", strSystemPath);

    if (!bOk)
        ShowAborted();
    else if (m_bProblems)
        MessageBox("При установке возникли проблемы.\nВозможно, пакет придется установить заново.", "Ombrix",
                   MB_ICONEXCLAMATION);
    else
        MessageBox("Установка успешно завершена.", "Ombrix", MB_ICONINFORMATION);
}

// Moves one component's package folder into place; false when the user cancelled. A missing
// package folder (the program started from the wrong folder, or a damaged package) is a
// problem, not an empty success.
bool CComponentsDlg::InstallComponent(const CString& strPackageFolder, const CString& strDest)
{
    DWORD dwAttributes = ::GetFileAttributesW(AfxFilePath(strPackageFolder).c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        AfxMessageBox("Не найдена папка пакета\n" + strPackageFolder, MB_OK, 0);
        m_bProblems = true;
        return true;
    }
    return MoveTree(strPackageFolder, strDest);
}

// The abort message: the same for a cancelled question and for leaving either page.
void CComponentsDlg::ShowAborted()
{
    MessageBox("Установка была прервана.", "Ombrix", MB_ICONERROR);
}

bool CComponentsDlg::MoveTree(CString strSource, CString strDest)
{
    return MoveFolder(strSource, strDest, strDest);
}

// One folder of MoveTree. strOutput is the destination of the whole walk: when it lies inside
// the source it is not walked, or the walk would chase its own output one level deeper each
// time until paths grew too long.
bool CComponentsDlg::MoveFolder(const CString& strSource, const CString& strDest, const CString& strOutput)
{
    ::CreateDirectoryW(AfxFilePath(strDest).c_str(), nullptr);

    CFileFind finder;
    bool bMore = finder.FindFile(strSource + "\\*.*");
    while (bMore) {
        bMore = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        CString strFrom = finder.GetFilePath();
        CString strTo = strDest + "\\" + finder.GetFileName();
        bool bFolder = finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY);
        if (bFolder && AfxIsSamePath(strFrom, strOutput))
            continue;
        bool bGoOn = bFolder ? MoveFolder(strFrom, strTo, strOutput) : MoveOneFile(strFrom, strTo);
        // A cancel leaves this level's remaining entries and its directory where they are.
        if (!bGoOn)
            return false;
    }
    finder.Close();

    // Removes the directory only when everything in it was moved.
    ::RemoveDirectoryW(AfxFilePath(strSource).c_str());
    return true;
}

// Moves one file, asking before an existing file is replaced; false when the user cancels.
bool CComponentsDlg::MoveOneFile(const CString& strFrom, const CString& strTo)
{
    if (AfxRename(strFrom, strTo) == 0)
        return true;
    if (errno != EEXIST) {
        ReportFailure(strFrom, strTo);
        return true;
    }

    switch (AskReplace(strTo)) {
    case IDCANCEL:
        m_bProblems = true;
        return false;
    case IDC_YES_ALL:
        m_bReplaceAll = true;
        [[fallthrough]];
    case IDOK:
        // One step, so the old file stays whenever the new one cannot replace it.
        if (!AfxReplaceFile(strFrom, strTo))
            ReportFailure(strFrom, strTo);
        return true;
    default:
        return true;   // "Нет": the file stays in the package
    }
}

// The replace question for one existing target, or "Да" once "Да - для всех" was given.
int CComponentsDlg::AskReplace(const CString& strTo)
{
    if (m_bReplaceAll)
        return IDOK;
    CReplaceDlg dlg;
    dlg.m_strMessage = "Файл \"" + strTo + "\"\nсуществует. Перезаписать?";
    return static_cast<int>(dlg.DoModal());
}

void CComponentsDlg::ReportFailure(const CString& strFrom, const CString& strTo)
{
    AfxMessageBox("Невозможно переместить файл\n" + strFrom + "\nв\n" + strTo, MB_OK, 0);
    m_bProblems = true;
}
