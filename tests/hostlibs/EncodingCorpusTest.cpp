// Real text in many languages, encoded by the system's converter into the encodings it is
// written in, read back without naming an encoding: every character must come back. And every
// character a page holds, encoded by the converter, must decode to itself.
#include <gtest/gtest.h>
#include <iconv.h>

#include <set>
#include <string>
#include <vector>

#include "host/brisko/CodePage.h"
#include "host/brisko/EncodedBufferedFile.h"
#include "host/brisko/EncodingDetection.h"
#include "hostlibs/ReaderTestSupport.h"
#include "support/TestSupport.h"

namespace dornel::test {
namespace {

using brisko::WString;

/// text converted by iconv from one encoding to another; empty with ok false when some
/// character has no form there.
std::string Convert(const std::string& text, const char* from, const char* to, bool& ok) {
    ok = false;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    std::string out(text.size() * 4 + 16, '\0');
    char* ip = const_cast<char*>(text.data());
    size_t il = text.size();
    char* op = out.data();
    size_t ol = out.size();
    ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) &&
         iconv(cd, nullptr, nullptr, &op, &ol) != static_cast<size_t>(-1);
    iconv_close(cd);
    out.resize(out.size() - ol);
    return ok ? out : std::string();
}

WString Utf16(const std::string& utf8) {
    bool ok;
    const std::string bytes = Convert(utf8, "UTF-8", "UTF-16LE", ok);
    WString w;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        w += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                   static_cast<uint8_t>(bytes[i + 1]) << 8);
    return w;
}

/// A few lines of a table in each language: names, places and a sentence, as users keep them.
struct Language {
    const char* name;
    const char* text;
    std::vector<const char*> encodings;  // iconv names, beside the Unicode forms every one gets
    // The page is named (ImportCodePage) rather than found: Icelandic in windows-1252 and the
    // Baltic text of ISO-8859-13 are the same letters at the same bytes (þ ð í against ž š ķ),
    // and only a knowledge of the languages' words tells them apart, which the detector lacks
    // for Icelandic.
    uint32_t named = 0;
};

const std::vector<Language>& Languages() {
    static const std::vector<Language> languages = {
        {"English", "name;city;note\nJohn Smith;London;Fine weather today\n", {"ASCII"}},
        {"French",
         "nom;ville;note\nFrançoise Lefèvre;Besançon;Où est le cœur de l'été ? Ça coûte 5 €\n"
         "Jérôme Bœuf;Orléans;Noël à la maison, déjà fêté\n",
         {"CP1252", "ISO-8859-15", "MACINTOSH"}},
        {"German",
         "Name;Stadt;Notiz\nJürgen Müller;München;Größe und Übermaß\nÄnne Schäfer;Köln;Straße\n",
         {"CP1252", "ISO-8859-1", "CP850", "MACINTOSH"}},
        {"Spanish",
         "nombre;ciudad\nJosé Muñoz;Córdoba;¿Qué año? ¡Señor Ibáñez!\n",
         {"CP1252", "ISO-8859-1"}},
        {"Portuguese",
         "nome;cidade\nJoão Gonçalves;São Paulo;ação, coração, pães\n",
         {"CP1252", "ISO-8859-1"}},
        {"Italian", "nome;città\nNiccolò Bertè;Forlì;perché è così, più o meno\n", {"CP1252"}},
        {"Swedish",
         "namn;stad\nÅsa Öberg;Göteborg;Vädret är härligt i år\n",
         {"CP1252", "ISO-8859-1"}},
        {"Icelandic",
         "nafn;borg\nÞórður Guðmundsson;Reykjavík;Það er fallegt veður í dag\n",
         {"CP1252"},
         1252},
        {"Polish",
         "imię;miasto\nŁukasz Wójcik;Łódź;Zażółć gęślą jaźń\nGrzegorz Brzęczyszczykiewicz;"
         "Chrząszczyżewoszyce;Śląsk i Świętokrzyskie\n",
         {"CP1250", "ISO-8859-2"}},
        {"Czech",
         "jméno;město\nJiří Dvořák;Brno;Příliš žluťoučký kůň úpěl ďábelské ódy\nŠárka Šťastná;"
         "Žďár;Čeština\n",
         {"CP1250", "ISO-8859-2"}},
        {"Hungarian",
         "név;város\nŐrsi Gyöngyi;Győr;Árvíztűrő tükörfúrógép\n",
         {"CP1250", "ISO-8859-2"}},
        {"Russian",
         "имя;город\nАлександр Пушкин;Москва;Съешь же ещё этих мягких французских булок\n"
         "Светлана Иванова;Новосибирск;Широкая электрификация южных губерний\n",
         {"CP1251", "KOI8-R", "CP866", "ISO-8859-5", "MAC-CYRILLIC"}},
        {"Ukrainian",
         "ім'я;місто\nҐалина Їжак;Київ;Чуєш їх, доцю, га? Кумедна ж ти, прощайся без ґольфів!\n"
         "Євген Іваненко;Львів;Жебракують філософи при ґанку церкви в Гадячі\n",
         {"CP1251", "KOI8-U"}},
        {"Bulgarian", "име;град\nГеорги Димитров;София;Жълтата дюля беше щастлива\n", {"CP1251"}},
        {"Greek",
         "όνομα;πόλη\nΓιώργος Παπαδόπουλος;Αθήνα;Ξεσκεπάζω την ψυχοφθόρα βδελυγμία\n"
         "Ελένη Κωνσταντίνου;Θεσσαλονίκη;Γαζέες και μυρτιές\n",
         {"CP1253", "ISO-8859-7"}},
        {"Turkish",
         "isim;şehir\nŞükrü Öztürk;İstanbul;Pijamalı hasta yağız şoföre çabucak güvendi\n"
         "Ayşe Yılmaz;Iğdır;Çığ düştü\n",
         {"CP1254", "ISO-8859-9"}},
        {"Hebrew",
         "שם;עיר\nדוד כהן;ירושלים;דג סקרן שט בים מאוכזב ולפתע מצא חברה\n",
         {"CP1255", "ISO-8859-8"}},
        {"Arabic",
         "الاسم;المدينة\nمحمد العلي;القاهرة;نص حكيم له سر قاطع وذو شأن عظيم\n"
         "فاطمة الزهراء;بيروت;صِف خَلقَ خَودِ كَمِثلِ الشَمسِ\n",
         {"CP1256", "ISO-8859-6"}},
        {"Persian", "نام;شهر\nعلي رضايي;تهران;کتاب خوب است و گل زيباست\n", {"CP1256"}},
        {"Lithuanian",
         "vardas;miestas\nŽydrūnas Šimkus;Šiauliai;Įlinkęs ąžuolas ūžė\n",
         {"CP1257", "ISO-8859-13"}},
        {"Latvian",
         "vārds;pilsēta\nĢirts Ķēniņš;Rīga;Glāžšķūņa rūķīši dzērumā čiepj\n",
         {"CP1257", "ISO-8859-13"}},
        {"Esperanto", "nomo;urbo\nĈiu ĵaŭdo;Ĝenevo;Eĥoŝanĝo ĉiuĵaŭde\n", {"ISO-8859-3"}},
        {"Vietnamese", "tên;thành phố\nNguyễn Văn An;Hà Nội;Tiếng Việt có dấu\n", {"CP1258"}},
        {"Thai", "ชื่อ;เมือง\nสมชาย ใจดี;กรุงเทพมหานคร;เป็นมนุษย์สุดประเสริฐเลิศคุณค่า\n", {"CP874"}},
        {"Japanese",
         "名前;都市\n田中太郎;東京;いろはにほへと "
         "ちりぬるを\n鈴木花子;大阪;カタカナとひらがなの文\n",
         {"CP932", "EUC-JP", "ISO-2022-JP"}},
        // Half-width katakana are one byte each, and 髙 and 﨑 are extension kanji of the
        // Windows page.
        {"Japanese (half-width)",
         "ｶﾅ;ﾒﾓ\nﾃｽﾄ ﾃﾞｰﾀ;髙橋 﨑山\nｱｲｳｴｵ ｶｷｸｹｺ;ｻｼｽｾｿ ﾀﾁﾂﾃﾄ\n",
         {"CP932"}},
        {"Chinese (simplified)",
         "姓名;城市\n张伟;北京;我们在这里学习中文和数学\n王芳;上海;欢迎光临，价格 5 元\n",
         {"GBK", "GB18030"}},
        {"Chinese (traditional)", "姓名;城市\n陳大文;臺北;我們在這裡學習中文\n", {"BIG5"}},
        {"Korean", "이름;도시\n김철수;서울;다람쥐 헌 쳇바퀴에 타고파\n", {"CP949"}},
    };
    return languages;
}

/// The Unicode forms, each with and without its mark; the mark is written by the test.
struct UnicodeForm {
    const char* iconvName;
    const char* mark;
    size_t markSize;
};
constexpr UnicodeForm kUnicodeForms[] = {
    {"UTF-8", "", 0},    {"UTF-8", "\xEF\xBB\xBF", 3},
    {"UTF-16LE", "", 0}, {"UTF-16LE", "\xFF\xFE", 2},
    {"UTF-16BE", "", 0}, {"UTF-16BE", "\xFE\xFF", 2},
    {"UTF-32LE", "", 0}, {"UTF-32LE", "\xFF\xFE\0\0", 4},
    {"UTF-32BE", "", 0}, {"UTF-32BE", "\0\0\xFE\xFF", 4},
};

/// What a reader gives for the file, no encoding named; a page, where one is named, as the
/// import names one.
WString Read(const std::string& path, uint32_t page) {
    brisko::CEncodedBufferedFile f(brisko::RString(path), "r", 3, brisko::TE_ANY, 0, false, false);
    f.SetCodePage(page);
    return ReadAll(f);
}

/// The text repeated up to about size bytes, whole lines only, header once.
std::string Repeated(const std::string& text, size_t size) {
    const size_t headerEnd = text.find('\n') + 1;
    std::string out = text;
    while (out.size() < size)
        out += text.substr(headerEnd);
    return out;
}

TEST(EncodingCorpus, EveryLanguageInEveryEncodingReadsWithItsTrueCharacters) {
    TempDir dir;
    std::set<std::string> encodings;
    size_t files = 0;
    std::string failures;
    for (const Language& language : Languages()) {
        for (size_t size : {size_t{0}, size_t{100 * 1024}, size_t{2 * 1024 * 1024}}) {
            const std::string text =
                size == 0 ? std::string(language.text) : Repeated(language.text, size);
            const WString expected = Utf16(text);
            auto check = [&](const std::string& encoding, const std::string& bytes, uint32_t page) {
                encodings.insert(encoding);
                ++files;
                const std::string path = dir.Write("corpus.csv", bytes);
                if (Read(path, page) != expected) {
                    brisko::EncodingDecision d;
                    brisko::DecideFileEncoding(brisko::RString(path), d);
                    failures += std::string(language.name) + " in " + encoding + ", " +
                                std::to_string(bytes.size()) + " bytes, read as " + d.Name() + "\n";
                }
            };
            for (const char* encoding : language.encodings) {
                bool ok;
                const std::string bytes = Convert(text, "UTF-8", encoding, ok);
                EXPECT_TRUE(ok) << language.name << " has no form in " << encoding;
                check(encoding, bytes, language.named);
            }
            // The Unicode forms once per language and size; the large ones once for all.
            if (size > 100 * 1024 && std::string(language.name) != "Japanese")
                continue;
            for (const UnicodeForm& form : kUnicodeForms) {
                bool ok;
                const std::string bytes = std::string(form.mark, form.markSize) +
                                          Convert(text, "UTF-8", form.iconvName, ok);
                check(std::string(form.iconvName) + (form.markSize ? " with mark" : ""), bytes, 0);
            }
        }
    }
    EXPECT_EQ(failures, "");
    EXPECT_GE(Languages().size(), 25u);
    EXPECT_GE(encodings.size(), 40u);
    std::printf("%zu files in %zu encodings\n", files, encodings.size());
}

/// Pages by their number and the converter's name for them.
struct NumberedPage {
    uint32_t page;
    const char* iconvName;
};
constexpr NumberedPage kNumberedPages[] = {
    {437, "CP437"},        {850, "CP850"},         {852, "CP852"},         {866, "CP866"},
    {874, "CP874"},        {932, "CP932"},         {936, "GBK"},           {949, "CP949"},
    {950, "BIG5"},         {1250, "CP1250"},       {1251, "CP1251"},       {1252, "CP1252"},
    {1253, "CP1253"},      {1254, "CP1254"},       {1255, "CP1255"},       {1256, "CP1256"},
    {1257, "CP1257"},      {1258, "CP1258"},       {10000, "MACINTOSH"},   {10007, "MAC-CYRILLIC"},
    {20866, "KOI8-R"},     {21866, "KOI8-U"},      {20932, "EUC-JP"},      {54936, "GB18030"},
    {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"}, {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"}, {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},
};

TEST(EncodingCorpus, EveryCharacterOfEveryPageDecodesToItself) {
    TempDir dir;
    BlockSize blocks(7);  // characters cut by the ends of blocks, many times over
    for (const NumberedPage& p : kNumberedPages) {
        SCOPED_TRACE(p.iconvName);
        ASSERT_TRUE(brisko::IsCodePageAvailable(p.page)) << p.page;
        // Each character the page holds, as the converter writes it. Characters it writes as
        // a letter and a combining mark (windows-1258, windows-1255) are held as those two.
        std::string bytes;
        WString expected;
        iconv_t cd = iconv_open(p.iconvName, "UTF-32LE");
        ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
        int column = 0;
        for (uint32_t c = 0x20; c <= 0x10FFFF; ++c) {
            if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF ||
                (c >= 0x10000 && c % 97 != 0))
                continue;
            char in[4] = {char(c), char(c >> 8), char(c >> 16), 0};
            char out[16];
            char* ip = in;
            char* op = out;
            size_t il = 4, ol = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) ||
                iconv(cd, nullptr, nullptr, &op, &ol) == static_cast<size_t>(-1))
                continue;
            const std::string encoded(out, sizeof out - ol);
            bool ok;
            // The character's own text, from what the converter reads those bytes as.
            const std::string back = Convert(encoded, p.iconvName, "UTF-8", ok);
            if (!ok || Utf16(back).empty())
                continue;
            if (encoded.size() > 1 && p.page != 932 && p.page != 936 && p.page != 949 &&
                p.page != 950 && p.page != 20932 && p.page != 54936)
                continue;  // a letter with a combining mark: its two characters come below
            bytes += encoded;
            expected += Utf16(back);
            if (++column == 64) {
                bytes += '\n';
                expected += u'\n';
                column = 0;
            }
        }
        iconv_close(cd);
        ASSERT_GT(expected.size(), 90u);
        WString whole = brisko::DecodeCodePage(p.page, bytes.data(), bytes.size());
        EXPECT_EQ(whole, expected);
        brisko::CEncodedBufferedFile f(brisko::RString(dir.Write("page.txt", bytes)), "r", 3,
                                       brisko::TE_ANSI, p.page, true, false);
        EXPECT_EQ(ReadAll(f), expected);
    }
}

}  // namespace
}  // namespace dornel::test
