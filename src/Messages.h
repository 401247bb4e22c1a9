#pragma once
#include "String.h"

// Every text the program shows in its messages, and the one registry key it reads.
namespace Messages
{
const char* const kCaption = "Ombrix";
const char* const kAborted = "Установка была прервана.";
const char* const kProblems = "При установке возникли проблемы.\nВозможно, пакет придется установить заново.";
const char* const kSuccess = "Установка успешно завершена.";
const char* const kNoPath = "Укажите путь установки.";

// The replace question about one existing target.
inline CString ReplaceQuestion(const CString& strTarget)
{
    return "Файл \"" + strTarget + "\"\nсуществует. Перезаписать?";
}
// The failure notice of one file that cannot be moved.
inline CString CannotMove(const CString& strFrom, const CString& strTo)
{
    return "Невозможно переместить файл\n" + strFrom + "\nв\n" + strTo;
}
// A chosen component whose package folder is not there.
inline CString NoPackageFolder(const CString& strFolder)
{
    return "Не найдена папка пакета\n" + strFolder;
}
// A package folder whose entries cannot be listed.
inline CString CannotList(const CString& strFolder)
{
    return "Невозможно прочитать папку\n" + strFolder;
}
}  // namespace Messages

// Where the setup of Visual C++ 7.1 records its directory, below HKEY_LOCAL_MACHINE.
const wchar_t* const kVcSetupKey = L"SOFTWARE\\Microsoft\\VisualStudio\\7.1\\Setup\\VC";
const wchar_t* const kVcSetupValue = L"ProductDir";
