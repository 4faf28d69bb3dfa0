#include <shlobj.h>
#include <windows.h>

#include <cstdlib>

#include "platform/ConfigFolder.h"
#include "platform/Text.h"

namespace stowra {

std::string UserConfigFolder() {
    char path[MAX_PATH] = {};
    if (SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)) &&
        path[0] != '\0') {
        return path;
    }
    // Without a shell folder (a service account, a broken profile) the environment may still say.
    const char* appData = std::getenv("APPDATA");
    return appData != nullptr && appData[0] != '\0' ? appData : ".";
}

bool CanWriteInFolder(const std::string& folder) {
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    // The read-only attribute of a folder means nothing to the file system, and the access rights
    // are too involved to predict: create a file there, which is gone again when it is closed.
    const std::string probe = (folder.ends_with('/') ? folder : AddTrailingBackslash(folder)) +
                              "stowra-probe-" + std::to_string(::GetCurrentProcessId()) + ".tmp";
    HANDLE h =
        ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // Someone else's file of that name still shows that files can be created here.
        return ::GetLastError() == ERROR_FILE_EXISTS;
    }
    ::CloseHandle(h);
    return true;
}

}  // namespace stowra
