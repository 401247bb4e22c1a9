// The installation engine of the components page: the tree mover with its replace question
// and failure notices, and the installation run with its summary.
#include "ComponentsDlg.h"

#include <cerrno>
#include <vector>

#include "Messages.h"
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

    if (!bOk) {
        ShowAborted();
    } else if (m_bProblems) {
        m_nExitCode = kExitProblems;
        MessageBox(Messages::kProblems, Messages::kCaption, MB_ICONEXCLAMATION);
    } else {
        m_nExitCode = kExitSuccess;
        MessageBox(Messages::kSuccess, Messages::kCaption, MB_ICONINFORMATION);
    }
}

// Moves one component's package folder into place; false when the user cancelled. A missing
// package folder (the program started from the wrong folder, or a damaged package) is a
// problem, not an empty success, and so is a package folder that is a link to elsewhere.
bool CComponentsDlg::InstallComponent(const CString& strPackageFolder, const CString& strDest)
{
    CFileFind finder;
    bool bFound = finder.FindFile(strPackageFolder);
    if (bFound)
        finder.FindNextFile();
    if (!bFound || !finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY)) {
        AfxMessageBox(Messages::NoPackageFolder(strPackageFolder), MB_OK, 0);
        m_bProblems = true;
        return true;
    }
    if (finder.IsLink()) {
        ReportFailure(strPackageFolder, strDest);
        return true;
    }
    return MoveTree(strPackageFolder, strDest);
}

// The abort message: the same for a cancelled question and for leaving either page.
void CComponentsDlg::ShowAborted()
{
    MessageBox(Messages::kAborted, Messages::kCaption, MB_ICONERROR);
}

bool CComponentsDlg::MoveTree(CString strSource, CString strDest)
{
    ::CreateDirectoryW(AfxFilePath(strDest).c_str(), nullptr);
    return MoveFolder(strSource, strDest, AfxGetFileIdentity(strDest));
}

// One folder of MoveTree. output is the destination of the whole walk: when it lies inside
// the source, however its path is spelt, it is not walked, or the walk would chase its own
// output one level deeper each time until paths grew too long.
bool CComponentsDlg::MoveFolder(const CString& strSource, const CString& strDest, const CFileIdentity& output)
{
    ::CreateDirectoryW(AfxFilePath(strDest).c_str(), nullptr);

    CFileFind finder;
    bool bMore = finder.FindFile(strSource + "\\*.*");
    while (bMore) {
        bMore = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        CString strFrom = finder.GetFilePath();
        CString strName = finder.GetFileName();
        // A link is neither followed nor carried into place: what it points at is not the package's.
        if (finder.IsLink()) {
            ReportFailure(strFrom, strDest + "\\" + strName);
            continue;
        }
        bool bGoOn = true;
        if (!finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY))
            bGoOn = MoveOneFile(strFrom, strDest, strName, finder.MatchesMask(FILE_ATTRIBUTE_READONLY));
        else if (!(AfxGetFileIdentity(strFrom) == output))
            bGoOn = MoveFolder(strFrom, strDest + "\\" + strName, output);
        // A cancel leaves this level's remaining entries and its directory where they are.
        if (!bGoOn)
            return false;
    }
    finder.Close();
    if (finder.Failed()) {
        AfxMessageBox(Messages::CannotList(strSource), MB_OK, 0);
        m_bProblems = true;
        return true;
    }

    // Removes the directory only when everything in it was moved.
    ::RemoveDirectoryW(AfxFilePath(strSource).c_str());
    return true;
}

// Moves one file into the destination folder, asking before an existing file is replaced;
// false when the user cancels.
bool CComponentsDlg::MoveOneFile(const CString& strFrom, const CString& strDest, const CString& strName, bool bReadOnly)
{
    CString strTo = strDest + "\\" + strName;
    if (AfxRename(strFrom, strTo) == 0) {
        Placed(strDest, strName, bReadOnly);
        return true;
    }
    // A file this run has put there is not an existing file: replacing it would lose one of the two.
    if (errno != EEXIST || m_placed.Contains(strDest, strName)) {
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
        if (AfxReplaceFile(strFrom, strTo))
            Placed(strDest, strName, bReadOnly);
        else
            ReportFailure(strFrom, strTo);
        return true;
    default:
        return true;   // "Нет": the file stays in the package
    }
}

// A file has taken its place: it gets the destination's permissions, and the run remembers it.
void CComponentsDlg::Placed(const CString& strDest, const CString& strName, bool bReadOnly)
{
    AfxInheritPermissions(strDest + "\\" + strName, bReadOnly);
    m_placed.Add(strDest, strName);
}

// The replace question for one existing target, or "Да" once "Да - для всех" was given.
int CComponentsDlg::AskReplace(const CString& strTo)
{
    if (m_bReplaceAll)
        return IDOK;
    CReplaceDlg dlg;
    dlg.m_strMessage = Messages::ReplaceQuestion(strTo);
    return static_cast<int>(dlg.DoModal());
}

void CComponentsDlg::ReportFailure(const CString& strFrom, const CString& strTo)
{
    AfxMessageBox(Messages::CannotMove(strFrom, strTo), MB_OK, 0);
    m_bProblems = true;
}
