#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/runtime/Errors.h"

namespace {

// The standard library's errors come out as the framework's own, with the
// library's message and its numbers filled in, or as an allocation failure.
TEST(StandardLibraryErrorsTest, RangeErrorsCarryTheLibrarysMessage)
{
    const std::vector<int> three(3);
    try {
        (void)three.at(7);
        FAIL() << "no error";
    } catch (const Exception& error) {
        EXPECT_NE(error.Message().find("(which is 7) >= this->size() (which is 3)"), std::string::npos)
            << error.Message();
    }
    const std::string text = "abc";
    try {
        (void)text.substr(5);
        FAIL() << "no error";
    } catch (const Exception& error) {
        EXPECT_NE(error.Message().find("(which is 5) > this->size() (which is 3)"), std::string::npos)
            << error.Message();
    }
}

TEST(StandardLibraryErrorsTest, ARequestBeyondWhatAContainerHoldsIsAnAllocationFailure)
{
    std::vector<char> bytes;
    try {
        bytes.reserve(bytes.max_size() + 1);
        FAIL() << "no error";
    } catch (const std::bad_alloc& error) {
        EXPECT_EQ(MessageOf(error), "メモリが不足しています");
    }
    // A count known only at run time, as a real request's is: a constant
    // one lets the compiler warn about the copy it would make.
    volatile std::size_t beyond = 1;
    std::string text;
    EXPECT_THROW(text.append(text.max_size() + beyond, 'x'), std::bad_alloc);
}

} // namespace
