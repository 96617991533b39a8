// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/RecordMessages.h"

#include <exception>

#include "records/RecordStore.h"

namespace halvik {

std::string KeptMessage(const std::string& fileName, bool alreadyKept) {
    return (alreadyKept ? "Already kept as " : "Kept as ") + fileName;
}

std::string NotKeptMessage(const std::string& reason) {
    return "Not kept: " + reason;
}

std::string ShowingMessage(const std::string& fileName, bool intact) {
    if (intact)
        return "Showing " + fileName;
    return "Changed after download: " + fileName +
           " does not match its digest; shown read-only, do not trust it";
}

std::string RecordTitle(const std::string& fileName, bool intact, const std::string& programTitle) {
    if (fileName.empty())
        return programTitle;
    return fileName + (intact ? "" : " (changed after download)") + " \u2014 " + programTitle;
}

std::string CsvFileNameFor(const std::string& recordFileName) {
    const std::size_t dot = recordFileName.rfind('.');
    return (dot == std::string::npos ? recordFileName : recordFileName.substr(0, dot)) + ".csv";
}

std::filesystem::path RecordFolderToBrowse() {
    try {
        return RecordFolder();
    } catch (const std::exception&) {
        return RecordFolderPath();
    }
}

}  // namespace halvik
