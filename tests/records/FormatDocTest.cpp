// SPDX-License-Identifier: GPL-3.0-or-later
// The example in docs/record-format.md is a real record: it reads back intact, has the name and
// the CSV the page gives.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "records/Csv.h"
#include "records/RecordStore.h"

namespace halvik {
namespace {

std::string Between(const std::string& text, const std::string& start, const std::string& end) {
    const std::size_t from = text.find(start);
    if (from == std::string::npos)
        return {};
    const std::size_t begin = from + start.size();
    return text.substr(begin, text.find(end, begin) - begin);
}

TEST(RecordFormatDoc, ExampleIsARecordWithItsNameAndCsv) {
    std::ifstream file(std::string(HALVIK_SOURCE_DIR) + "/docs/record-format.md");
    std::stringstream page;
    page << file.rdbuf();
    const std::string text = page.str();
    const std::string json = Between(text, "```json\n", "```");
    ASSERT_EQ(json.rfind("{\"format\":\"halvik-record\",", 0), 0u);

    const LoadedRecord loaded = ParseRecord(json, "example");
    EXPECT_TRUE(loaded.intact) << loaded.problem;
    EXPECT_EQ(RecordText(loaded.record), json);
    EXPECT_NE(text.find("kept as `" + RecordFileName(loaded.record) + "`"), std::string::npos);
    EXPECT_EQ(RecordCsv(loaded.record), Between(text, "```csv\n", "```"));
}

}  // namespace
}  // namespace halvik
