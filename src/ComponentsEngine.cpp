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
// problem, not an empty success. One that is a link to elsewhere the tree mover reports, and
// does not follow.
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
    CFolder folder;
    if (folder.Open(strSource))
        return MoveFolder(folder, strDest, AfxGetFileIdentity(strDest));
    // A missing source moves nothing; one that may not be read is unreadable; one that is no
    // folder of its own, a link, is not followed.
    DWORD dwError = ::GetLastError();
    if (dwError == ERROR_ACCESS_DENIED)
        ReportUnreadable(strSource);
    else if (dwError != ERROR_FILE_NOT_FOUND && dwError != ERROR_PATH_NOT_FOUND)
        ReportFailure(strSource, strDest);
    return true;
}

// One folder of MoveTree, held open: listed through its handle, each entry opened relative to it
// and checked to be what the listing said, so that nothing another program puts in its place
// meanwhile is followed or moved. output is the destination of the whole walk: when it lies
// inside the source, however its path is spelt, it is not walked, or the walk would chase its
// own output one level deeper each time until paths grew too long.
bool CComponentsDlg::MoveFolder(const CFolder& folder, const CString& strDest, const CFileIdentity& output)
{
    ::CreateDirectoryW(AfxFilePath(strDest).c_str(), nullptr);

    CFileFind finder;
    bool bMore = finder.FindFile(folder);
    while (bMore) {
        bMore = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        CString strName = finder.GetFileName();
        // A link is neither followed nor carried into place: what it points at is not the package's.
        if (finder.IsLink()) {
            ReportFailure(finder.GetFilePath(), strDest + "\\" + strName);
            continue;
        }
        bool bGoOn = true;
        if (!finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY)) {
            bGoOn = MoveOneFile(folder, finder.GetEntry(), strDest);
        } else {
            // A folder that may not be read is unreadable, as when its listing fails; one that is
            // no longer the folder listed, or gone, cannot be moved.
            CFolder inner;
            if (inner.Open(folder, finder.GetEntry())) {
                if (!inner.IsFolder(output))
                    bGoOn = MoveFolder(inner, strDest + "\\" + strName, output);
            } else if (::GetLastError() == ERROR_ACCESS_DENIED) {
                ReportUnreadable(finder.GetFilePath());
            } else {
                ReportFailure(finder.GetFilePath(), strDest + "\\" + strName);
            }
        }
        // A cancel leaves this level's remaining entries and its directory where they are.
        if (!bGoOn)
            return false;
    }
    finder.Close();
    if (finder.Failed()) {
        ReportUnreadable(folder.Path());
        return true;
    }

    // Removes the directory only when everything in it was moved.
    folder.RemoveIfEmpty();
    return true;
}

// Moves one listed file into the destination folder, asking before an existing file is replaced;
// false when the user cancels. Each attempt opens the file afresh and checks it: the question may
// wait a long time, and the file may have been swapped meanwhile.
bool CComponentsDlg::MoveOneFile(const CFolder& folder, const CListedEntry& entry, const CString& strDest)
{
    CString strName = Narrow(entry.name.c_str());
    CString strFrom = folder.Path() + "\\" + strName, strTo = strDest + "\\" + strName;
    // A file copied out of a place that cannot be changed does not keep the read-only mark that
    // its medium gives every file.
    bool bKept = false;
    bool bReadOnly = entry.dwAttributes & FILE_ATTRIBUTE_READONLY;
    if (AfxRename(folder, entry, strTo, bKept) == 0) {
        Placed(strDest, strName, bReadOnly && !bKept);
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
        if (AfxReplaceFile(folder, entry, strTo, bKept))
            Placed(strDest, strName, bReadOnly && !bKept);
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

void CComponentsDlg::ReportUnreadable(const CString& strFolder)
{
    AfxMessageBox(Messages::CannotList(strFolder), MB_OK, 0);
    m_bProblems = true;
}
