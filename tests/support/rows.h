// Each row of a TEST_P table carries its `name`, its test's name:
// INSTANTIATE_TEST_SUITE_P(Rows, Suite, testing::ValuesIn(rows), tavo_test::RowName()).
#ifndef TAVO_TESTS_SUPPORT_ROWS_H
#define TAVO_TESTS_SUPPORT_ROWS_H

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace tavo_test {

struct RowName {
    template <class Row>
    std::string operator()(const testing::TestParamInfo<Row>& info) const
    {
        return info.param.name;
    }
};

}  // namespace tavo_test

#endif
