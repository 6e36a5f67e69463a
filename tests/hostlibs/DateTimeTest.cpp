// Tests of dates and times: parsing, format codes and format texts, writing values back.
#include "host/brisko/DateTime.h"

#include <gtest/gtest.h>

namespace dornel::test {
namespace {

using namespace brisko;

TEST(DateTime, ParsesTheCommonFormsIntoSerialDays) {
    struct Case {
        const char* text;
        double serial;
        int date;
        int time;
    } cases[] = {
        {"1899-12-30", 0, DF_ISO, TF_NONE},
        {"1900-01-01", 2, DF_ISO, TF_NONE},
        {"2024-03-05", 45356, DF_ISO, TF_NONE},
        {" 2024-03-05T12:00:00 ", 45356.5, DF_ISO, TF_HMS},
        {"2024-03-05 06:00", 45356.25, DF_ISO, TF_HM},
        {"2024/03/05", 45356, DF_YMD_SLASH, TF_NONE},
        {"3/5/2024", 45356, DF_MDY_SLASH, TF_NONE},
        {"05.03.2024", 45356, DF_DMY_DOT, TF_NONE},
        {"5-Mar-2024", 45356, DF_D_MON_Y, TF_NONE},
        {"5 march 2024", 45356, DF_D_MON_Y, TF_NONE},
        {"March 5, 2024", 45356, DF_MONTH_D_Y, TF_NONE},
        {"3/5/24", 45356, DF_MDY_SHORT, TF_NONE},
        {"1/1/30", 10959, DF_MDY_SHORT, TF_NONE},
        {"18:00", 0.75, DF_NONE, TF_HM},
        {"6:00 PM", 0.75, DF_NONE, TF_HM_AMPM},
        {"12:00:00 am", 0, DF_NONE, TF_HMS_AMPM},
        {"00:00:01.500", 1.5 / 86400, DF_NONE, TF_HMS_MS},
    };
    brisko::SetDateOrder(brisko::DATE_ORDER_MDY);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        double serial = -1;
        int date = -1, time = -1;
        ASSERT_TRUE(WQParseDateTimeStr(RString(c.text), serial, date, time));
        EXPECT_NEAR(serial, c.serial, 1e-9);
        EXPECT_EQ(date, c.date);
        EXPECT_EQ(time, c.time);
    }
}

TEST(DateTime, OneOrderOfDayAndMonthServesEveryDate) {
    struct Case {
        brisko::DateOrder order;
        const char* text;
        double serial;  // -1: no date in that order
        int date;
    } cases[] = {
        {brisko::DATE_ORDER_MDY, "3/5/2024", 45356, DF_MDY_SLASH},
        {brisko::DATE_ORDER_MDY, "14/05/2024", -1, 0},
        {brisko::DATE_ORDER_DMY, "3/5/2024", 45415, DF_DMY_SLASH},
        {brisko::DATE_ORDER_DMY, "14/05/2024", 45426, DF_DMY_SLASH},
        {brisko::DATE_ORDER_DMY, "05/14/2024", -1, 0},
        {brisko::DATE_ORDER_DMY, "25-12-2023", 45285, DF_DMY_SLASH},
        {brisko::DATE_ORDER_YMD, "24/03/05", 45356, DF_YMD_SLASH},
        {brisko::DATE_ORDER_YMD, "3/5/2024", -1, 0},
        // Dots are day first, and a four-digit year first is year first, in every order.
        {brisko::DATE_ORDER_MDY, "14.05.2024", 45426, DF_DMY_DOT},
        {brisko::DATE_ORDER_DMY, "2024/03/05", 45356, DF_YMD_SLASH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        brisko::SetDateOrder(c.order);
        double serial = -1;
        int date = -1, time = -1;
        EXPECT_EQ(WQParseDateTimeStr(RString(c.text), serial, date, time), c.serial >= 0);
        if (c.serial >= 0) {
            EXPECT_EQ(serial, c.serial);
            EXPECT_EQ(date, c.date);
        }
    }
    brisko::SetDateOrder(brisko::DATE_ORDER_MDY);
    brisko::DateOrder order;
    EXPECT_TRUE(brisko::DateOrderFromName("DMY", order));
    EXPECT_EQ(order, brisko::DATE_ORDER_DMY);
    EXPECT_FALSE(brisko::DateOrderFromName("dm", order));
}

TEST(DateTime, RejectsNumbersWordsAndImpossibleDates) {
    for (const char* text : {"", "2024", "12", "1.5", "3,5", "2024-02-30", "2023-13-01", "abc",
                             "25:00", "12:60", "13:00 PM", "2024-03-05x", "5/3", "1.2.3"}) {
        double serial = -7;
        int date = -7, time = -7;
        EXPECT_FALSE(WQParseDateTimeStr(RString(text), serial, date, time)) << text;
        EXPECT_EQ(serial, -7) << text;
    }
}

TEST(DateTime, FormatCodesAndFormatTextsMapBothWays) {
    for (int d = 0; d < DF_COUNT; ++d) {
        for (int t = 0; t < TF_COUNT; ++t) {
            char text[40];
            WQMapFmtTypesToExcelFmtStr(d, t, text);
            int date = -1, time = -1;
            WQMapExcelFmtStrToFmtTypes(text, date, time);
            EXPECT_EQ(date, d) << text;
            EXPECT_EQ(time, t) << text;
        }
    }
    int date = -1, time = -1;
    WQMapExcelFmtStrToFmtTypes("[$-409]YYYY-MM-DD hh:mm:ss", date, time);
    EXPECT_EQ(date, DF_ISO);
    EXPECT_EQ(time, TF_HMS);
    WQMapExcelFmtStrToFmtTypes("0.00", date, time);
    EXPECT_EQ(date, 0);
    EXPECT_EQ(time, 0);
}

TEST(DateTime, WritesValuesInTheirFormatAndReadsThemBack) {
    struct Case {
        double serial;
        int date;
        int time;
        const char* text;
    } cases[] = {
        {45356, DF_ISO, TF_NONE, "2024-03-05"},
        {45356.75, DF_ISO, TF_HMS, "2024-03-05 18:00:00"},
        {45356.75, DF_MDY_SLASH, TF_HM_AMPM, "3/5/2024 6:00 PM"},
        {45285, DF_DMY_DOT, TF_NONE, "25.12.2023"},
        {45356, DF_MONTH_D_Y, TF_NONE, "March 5, 2024"},
        {0.5 + 1.0 / 86400 / 2, DF_NONE, TF_HMS_MS, "12:00:00.500"},
    };
    for (const Case& c : cases) {
        char text[40];
        WQDateTime(c.serial).GetDateTimeStr(c.date, c.time, text);
        EXPECT_STREQ(text, c.text);
        double serial = -1;
        int date = -1, time = -1;
        ASSERT_TRUE(WQParseDateTimeStr(RString(text), serial, date, time)) << text;
        EXPECT_NEAR(serial, c.serial, 1e-8) << text;
    }
}

TEST(DateTime, ClosestAccurateFormatsShowWhatTheValueHolds) {
    EXPECT_EQ(WQClosestAccurateDateFmt(45356.5, DF_DMY_DOT), DF_DMY_DOT);
    EXPECT_EQ(WQClosestAccurateDateFmt(45356.5, DF_NONE), DF_ISO);
    EXPECT_EQ(WQClosestAccurateDateFmt(0.5, DF_NONE), DF_NONE);
    EXPECT_EQ(WQClosestAccurateTimeFmt(45356, TF_NONE), TF_NONE);
    EXPECT_EQ(WQClosestAccurateTimeFmt(45356.5, TF_NONE), TF_HMS);
    EXPECT_EQ(WQClosestAccurateTimeFmt(45356.5 + 1.0 / 86400, TF_HM), TF_HMS);
    EXPECT_EQ(WQClosestAccurateTimeFmt(45356.5, TF_HM), TF_HM);
    EXPECT_EQ(WQClosestAccurateTimeFmt(0.5 + 0.25 / 86400, TF_HMS), TF_HMS_MS);
}

}  // namespace
}  // namespace dornel::test
