#include "JobAttributes.h"

#include <gtest/gtest.h>

namespace {

PortOptions options() { return PortOptions(L"P1"); }

TEST(JobAttributes, WorkedExample) {
    PortOptions o = options();
    o.name = L"Ann O'Hara";
    o.room = L"12";
    o.address = L"Main St 1\nSpringfield";
    o.jobAttributes = L"copies=2";
    EXPECT_EQ(buildJobAttributes(o),
              L"VAVname-text='Ann O\\'Hara' room-text='12' address1-text='Main St 1' address2-text='Springfield' "
              L"copies=2");
}

TEST(JobAttributes, EmptyOptionsGiveNoText) {
    EXPECT_EQ(buildJobAttributes(options()), L"");
    PortOptions carriageReturns = options();
    carriageReturns.address = L"\r\r\r";
    EXPECT_EQ(buildJobAttributes(carriageReturns), L"");
}

TEST(JobAttributes, FreeFormAttributesTravelUnchanged) {
    PortOptions o = options();
    o.jobAttributes = L"a=b";
    EXPECT_EQ(buildJobAttributes(o), L"VAVa=b");
    o.building = L"B\\7";
    EXPECT_EQ(buildJobAttributes(o), L"VAVbuilding-text='B\\7' a=b") << "a backslash is not escaped";
}

TEST(JobAttributes, SeparatorFieldsComeInTheirOrder) {
    PortOptions o = options();
    o.room = L"r";
    o.name = L"n";
    o.department = L"d";
    o.building = L"b";
    o.address = L"A\r\nB\r\nC";
    EXPECT_EQ(buildJobAttributes(o),
              L"VAVbuilding-text='b' department-text='d' name-text='n' room-text='r' address1-text='A' "
              L"address2-text='B' address3-text='C' ");
}

TEST(JobAttributes, EveryLineOfTheAddressCountsEvenWhenEmpty) {
    PortOptions blank = options();
    blank.address = L"\n\n\n";
    EXPECT_EQ(buildJobAttributes(blank),
              L"VAVaddress1-text='' address2-text='' address3-text='' address4-text='' ");
    PortOptions trailing = options();
    trailing.address = L"A\n";
    EXPECT_EQ(buildJobAttributes(trailing), L"VAVaddress1-text='A' address2-text='' ");
}

TEST(JobAttributes, ATenthAddressLineGetsTheCharacterAfterNine) {
    PortOptions o = options();
    o.address = L"1\n2\n3\n4\n5\n6\n7\n8\n9\n10";
    std::wstring text = buildJobAttributes(o);
    EXPECT_NE(text.find(L"address9-text='9' address:-text='10' "), std::wstring::npos) << std::string(text.begin(), text.end());
}

TEST(QuoteAttribute, EscapesEveryApostrophe) {
    EXPECT_EQ(quoteAttribute(L"k", L"''"), L"k='\\'\\'' ");
    EXPECT_EQ(quoteAttribute(L"k", L""), L"k='' ");
}

}  // namespace
