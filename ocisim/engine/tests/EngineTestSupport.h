#pragma once
// Helpers for engine tests: a throw-away database per test and statements run to text rows.
#include "ocisim/engine/Engine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ocisim::test {

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

// A value as text: NULL, integers and numbers as Oracle shows them, dates as YYYY-MM-DD HH:MI:SS.
std::string Show(const ValueRef& v);

// Binds from text: "" is NULL; a value starting with "#" is a number.
BindValues Binds(const std::vector<std::string>& values);

Rows Query(Session& s, const std::string& sql, const std::vector<std::string>& binds = {});
uint64_t Exec(Session& s, const std::string& sql, const std::vector<std::string>& binds = {});
// The Oracle error code a statement fails with (0 when it succeeds).
int ErrorOf(Session& s, const std::string& sql, std::string* text = nullptr, int* offset = nullptr);

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::unique_ptr<Session> Logon(const std::string& user = "SCOTT", const std::string& pw = "TIGER");
    std::string dir_;
    std::shared_ptr<Database> db_;
    std::unique_ptr<Session> scott_;
};

} // namespace ocisim::test
