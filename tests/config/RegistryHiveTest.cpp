// The hive model and its text form: what a person writes is read, what the store writes reads
// back the same, and no input makes the parser crash or hang.

#include "config/RegistryHive.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

const QString Cu = QStringLiteral("HKEY_CURRENT_USER");

std::string Str(const QString& s) { return s.toStdString(); }

TRegHive MustParse(const QByteArray& text) {
  QString error;
  std::optional<TRegHive> hive = TRegHive::Parse(text, Cu, &error);
  EXPECT_TRUE(hive.has_value()) << Str(error);
  return hive ? std::move(*hive) : TRegHive(Cu);
}

QString TextOf(const TRegHive& hive, const QString& key, const QString& name) {
  const TRegKey* k = hive.FindKey(key);
  const TRegValue* v = k ? k->FindValue(name) : nullptr;
  return v && v->AsText() ? *v->AsText() : QStringLiteral("<none>");
}

QByteArray BytesOf(const TRegHive& hive, const QString& key, const QString& name) {
  const TRegKey* k = hive.FindKey(key);
  const TRegValue* v = k ? k->FindValue(name) : nullptr;
  return v ? v->Data : QByteArray("<none>");
}

TEST(RegistryHive, ReadsAHandWrittenHive) {
  // What a person might type in an editor: a byte-order mark, CRLF line ends, comments, blank
  // lines, blanks around "=", a key spelled in two ways, long values continued over lines.
  const QByteArray text =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; settings of Korvane\r\n"
      "[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Options]\r\n"
      "\"ShowFileNames\"=\"0\"\r\n"
      "  ; an indented comment\r\n"
      "\"DrivesToAutoScan\" = \"CD\"\r\n"
      "@=\"the default value\"\r\n"
      "\"Quote\"=\"say \\\"hi\\\" to C:\\\\Temp\"\r\n"
      "\"Raw\"=\"C:\\Temp\"\r\n"
      "\"Lines\"=\"one\\ntwo\\r\"\r\n"
      "\"Count\"=dword:0000000A\r\n"
      "\"Short\"=dword:7\r\n"
      "\"Colors\"=hex:01,02,03,\\\r\n"
      "  04,05,\\\r\n"
      "\t06\r\n"
      "\"Empty\"=hex:\r\n"
      "\"Multi\"=hex(7):41,00,00,00,00,00\r\n"
      "\r\n"
      "[hkey_current_user\\software\\MORVELL\\korvane 3\\options]\r\n"
      "\"showfilenames\"=\"1\"\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Desktop]\r\n"
      "[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Gone]\r\n"
      "\"x\"=\"1\"\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Gone]\r\n"
      "[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Desktop]\r\n"
      "\"Dropped\"=\"1\"\r\n"
      "\"Dropped\"=-\r\n";
  const TRegHive hive = MustParse(text);
  const QString options = QStringLiteral("Software\\Morvell\\Korvane 3\\Options");

  EXPECT_EQ(TextOf(hive, options, "ShowFileNames"), "1");  // the later line wins
  EXPECT_EQ(TextOf(hive, options, "DrivesToAutoScan"), "CD");
  EXPECT_EQ(TextOf(hive, options, ""), "the default value");
  EXPECT_EQ(TextOf(hive, options, "Quote"), "say \"hi\" to C:\\Temp");
  EXPECT_EQ(TextOf(hive, options, "Raw"), "C:\\Temp");
  EXPECT_EQ(TextOf(hive, options, "Lines"), "one\ntwo\r");
  const TRegKey* key = hive.FindKey(options);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->FindValue(u"COUNT")->AsDWord(), 10u);
  EXPECT_EQ(key->FindValue(u"Short")->AsDWord(), 7u);
  EXPECT_EQ(key->FindValue(u"Colors")->Type, TRegType::Binary);
  EXPECT_EQ(BytesOf(hive, options, "Colors"), QByteArray("\x01\x02\x03\x04\x05\x06"));
  EXPECT_EQ(BytesOf(hive, options, "Empty"), QByteArray());
  EXPECT_EQ(key->FindValue(u"Multi")->Type, TRegType::MultiString);

  // One key, spelled as it was first written; "Gone" was deleted; "Dropped" removed again.
  const TRegKey* program = hive.FindKey(u"software\\morvell\\korvane 3");
  ASSERT_NE(program, nullptr);
  ASSERT_EQ(program->Subkeys().size(), 2u);
  EXPECT_EQ(program->Subkeys()[0]->Name(), "Options");
  EXPECT_EQ(program->Subkeys()[1]->Name(), "Desktop");
  EXPECT_EQ(hive.FindKey(u"Software\\Morvell\\Korvane 3\\Desktop")->Values().size(), 0u);
  EXPECT_EQ(key->Values()[0].Name, "ShowFileNames");
}

TEST(RegistryHive, WritesTheExportFormat) {
  TRegHive hive(Cu);
  TRegKey& options = hive.CreateKey(u"Software\\Morvell\\Korvane 3\\Options");
  options.SetValue("ShowPercentInPie", TRegValue::FromString("1"));
  options.SetValue("Path", TRegValue::FromString("C:\\a \"b\""));
  options.SetValue("", TRegValue::FromString("default"));
  options.SetValue("Count", TRegValue::FromDWord(0x1a));
  options.SetValue("Colors", TRegValue::FromBinary(QByteArray(30, '\xff')));
  hive.CreateKey(u"Software\\Morvell\\Korvane 3\\Empty");

  EXPECT_EQ(hive.ToText().toStdString(),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Options]\n"
            "\"ShowPercentInPie\"=\"1\"\n"
            "\"Path\"=\"C:\\\\a \\\"b\\\"\"\n"
            "@=\"default\"\n"
            "\"Count\"=dword:0000001a\n"
            "\"Colors\"=hex:ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,ff,\\\n"
            "  ff,ff,ff,ff,ff,ff,ff,ff,ff\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Morvell\\Korvane 3\\Empty]\n"
            "\n");
}

TRegHive Sample() {
  TRegHive hive(Cu);
  hive.Root().SetValue("AtRoot", TRegValue::FromString("root value"));
  TRegKey& k = hive.CreateKey(u"Software\\Ünïcödé ключ\\[brackets] and \"quotes\"");
  k.SetValue("plain", TRegValue::FromString("text"));
  k.SetValue("", TRegValue::FromString(""));
  k.SetValue("escapes \\ \" = @", TRegValue::FromString("back\\slash \"quote\" \ttab\nline\rcr \x01 ctl"));
  k.SetValue("lone surrogates", TRegValue::FromString(QString(QChar(0xDC80)) + "x" + QChar(0xD800) + QString::fromUtf8("😀") + QChar(0xDBFF)));
  k.SetValue("emoji 😀", TRegValue::FromString("😀"));
  k.SetValue("dword", TRegValue::FromDWord(0xFFFFFFFFu));
  QByteArray all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  k.SetValue("binary", TRegValue::FromBinary(all));
  k.SetValue("empty binary", TRegValue::FromBinary(QByteArray()));
  TRegValue odd;  // a string whose bytes are not a NUL-terminated text
  odd.Type = TRegType::String;
  odd.Data = QByteArray("abc", 3);
  k.SetValue("odd string", odd);
  TRegValue shortDword;
  shortDword.Type = TRegType::DWord;
  shortDword.Data = QByteArray("\x01\x02", 2);
  k.SetValue("short dword", shortDword);
  TRegValue custom;
  custom.Type = static_cast<TRegType>(0x12345);
  custom.Data = QByteArray("\x00\x01", 2);
  k.SetValue("custom type", custom);
  hive.CreateKey(u"Software\\Empty leaf");
  return hive;
}

void ExpectSameHive(const TRegKey& a, const TRegKey& b) {
  ASSERT_EQ(a.Name(), b.Name());
  ASSERT_EQ(a.Values().size(), b.Values().size()) << Str(a.Name());
  for (size_t i = 0; i < a.Values().size(); ++i) {
    EXPECT_EQ(a.Values()[i].Name, b.Values()[i].Name);
    EXPECT_TRUE(a.Values()[i].Value == b.Values()[i].Value) << Str(a.Values()[i].Name);
  }
  ASSERT_EQ(a.Subkeys().size(), b.Subkeys().size()) << Str(a.Name());
  for (size_t i = 0; i < a.Subkeys().size(); ++i) ExpectSameHive(*a.Subkeys()[i], *b.Subkeys()[i]);
}

TEST(RegistryHive, EveryValueSurvivesTheTextForm) {
  const TRegHive hive = Sample();
  const QByteArray text = hive.ToText();
  QStringDecoder utf8(QStringDecoder::Utf8);
  (void)utf8.decode(text);
  EXPECT_FALSE(utf8.hasError()) << "the file must stay valid UTF-8";
  const TRegHive back = MustParse(text);
  ExpectSameHive(hive.Root(), back.Root());
  EXPECT_EQ(back.ToText(), text);
}

TEST(RegistryHive, NamesCompareCaseInsensitivelyAndKeepTheirFirstSpelling) {
  TRegHive hive(Cu);
  hive.CreateKey(u"Software\\Morvell").SetValue("Value", TRegValue::FromString("a"));
  hive.CreateKey(u"SOFTWARE\\morvell").SetValue("VALUE", TRegValue::FromString("b"));
  hive.CreateKey(u"software\\ÄÖÜ");
  ASSERT_EQ(hive.Root().Subkeys().size(), 1u);
  const TRegKey* m = hive.FindKey(u"software\\MORVELL");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Name(), "Morvell");
  ASSERT_EQ(m->Values().size(), 1u);
  EXPECT_EQ(m->Values()[0].Name, "Value");
  EXPECT_EQ(*m->Values()[0].Value.AsText(), "b");
  EXPECT_NE(hive.FindKey(u"SOFTWARE\\äöü"), nullptr);

  EXPECT_TRUE(hive.DeleteKey(u"software\\MORVELL"));
  EXPECT_EQ(hive.FindKey(u"Software\\Morvell"), nullptr);
  EXPECT_NE(hive.FindKey(u"Software"), nullptr);
  EXPECT_FALSE(hive.DeleteKey(u"Software\\Morvell"));
}

// Removing names from the front, the middle and the end, setting existing ones again and adding
// new ones: every name is still found, with its own value, in the order the names were made.
TEST(RegistryHive, RemovingAndSettingNamesKeepsTheOrderAndFindsEveryName) {
  TRegHive hive(Cu);
  TRegKey& key = hive.CreateKey(u"Software\\Morvell");
  constexpr int Count = 50;
  for (int i = 0; i < Count; ++i) {
    key.SetValue(QStringLiteral("V%1").arg(i), TRegValue::FromDWord(static_cast<uint32_t>(i)));
    key.SubkeyOrNew(QStringLiteral("S%1").arg(i)).SetValue(QString(), TRegValue::FromDWord(static_cast<uint32_t>(i)));
  }
  for (int i = 0; i < Count; i += 3) {
    EXPECT_TRUE(key.RemoveValue(QStringLiteral("v%1").arg(i)));
    EXPECT_TRUE(key.RemoveSubkey(QStringLiteral("s%1").arg(i)));
  }
  EXPECT_TRUE(key.RemoveValue(u"V49"));  // the last one
  EXPECT_FALSE(key.RemoveValue(u"V0"));
  EXPECT_FALSE(key.RemoveSubkey(u"S0"));
  key.SetValue("v1", TRegValue::FromDWord(1000));   // keeps its place and spelling
  key.SetValue("v0", TRegValue::FromDWord(2000));   // comes back at the end
  key.SubkeyOrNew("s0");
  key.SetValue("Straße", TRegValue::FromDWord(3000));
  key.SetValue("STRASSE", TRegValue::FromDWord(4000));  // another name: only simple case folding
  key.SetValue("STRAẞE", TRegValue::FromDWord(5000));   // capital sharp s: the same name

  QStringList expectedValues, expectedSubkeys;
  for (int i = 1; i < Count; ++i) {
    if (i % 3 == 0) continue;
    if (i < Count - 1) expectedValues << QStringLiteral("V%1").arg(i);
    expectedSubkeys << QStringLiteral("S%1").arg(i);
  }
  expectedValues << "v0" << "Straße" << "STRASSE";
  expectedSubkeys << "s0";
  QStringList values, subkeys;
  for (const TRegNamedValue& v : key.Values()) values << v.Name;
  for (const auto& k : key.Subkeys()) subkeys << k->Name();
  EXPECT_EQ(values, expectedValues);
  EXPECT_EQ(subkeys, expectedSubkeys);

  for (const TRegNamedValue& v : key.Values()) {
    const TRegValue* found = key.FindValue(v.Name.toLower());
    ASSERT_NE(found, nullptr) << Str(v.Name);
    EXPECT_EQ(found, &v.Value) << Str(v.Name);
  }
  for (const auto& k : key.Subkeys()) EXPECT_EQ(key.FindSubkey(k->Name().toUpper()), k.get()) << Str(k->Name());
  EXPECT_EQ(key.FindValue(u"V1")->AsDWord(), 1000u);
  EXPECT_EQ(key.FindValue(u"V2")->AsDWord(), 2u);
  EXPECT_EQ(key.FindValue(u"straße")->AsDWord(), 5000u);
  EXPECT_EQ(key.FindValue(u"strasse")->AsDWord(), 4000u);
  EXPECT_EQ(key.FindValue(u"V3"), nullptr);
  EXPECT_EQ(key.FindSubkey(u"S49")->FindValue(QString())->AsDWord(), 49u);
}

TEST(RegistryHive, KeyPaths) {
  struct Case {
    QString Path;
    std::optional<QStringList> Names;
  };
  const QString deep = QStringLiteral("k\\").repeated(MaxKeyDepth) + QStringLiteral("k");
  const Case cases[] = {
      {"", QStringList()},
      {"\\", QStringList()},
      {"Software\\Morvell\\Korvane 3", QStringList{"Software", "Morvell", "Korvane 3"}},
      {"\\Software\\", QStringList{"Software"}},
      {"Software\\\\Morvell", std::nullopt},
      {"Soft\nware", std::nullopt},
      {QString("Bad") + QChar(0xDC80), std::nullopt},
      {QString(256, QChar('x')), std::nullopt},
      {QString(255, QChar('x')), QStringList{QString(255, QChar('x'))}},
      {deep, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitKeyPath(c.Path), c.Names) << Str(c.Path.left(40));
  TRegHive hive(Cu);
  EXPECT_THROW(hive.CreateKey(u"a\\\\b"), ERegistryException);
}

TEST(RegistryHive, RejectsWhatIsNotAHive) {
  const QByteArray header = "Windows Registry Editor Version 5.00\n";
  const QByteArray key = header + "[HKEY_CURRENT_USER\\Software]\n";
  const QByteArray cases[] = {
      "[HKEY_CURRENT_USER\\Software]\n",                          // no header
      "Windows Registry Editor Version 4.00\n",                  // wrong header
      header + "\"a\"=\"1\"\n",                                   // value outside a key
      header + "[HKEY_LOCAL_MACHINE\\Software]\n",                // another root
      header + "[HKEY_CURRENT_USER\\Software\n",                  // no "]"
      header + "[HKEY_CURRENT_USER\\a\\\\b]\n",                   // empty key name
      key + "\"a\"=\"1\n",                                        // string not closed
      key + "\"a=\"1\"\n",                                        // name not closed
      key + "\"a\"\"1\"\n",                                       // no "="
      key + "\"a\"=\"1\" x\n",                                    // text after the string
      key + "\"a\"=dword:123456789\n",                            // nine digits
      key + "\"a\"=dword:12g4\n",                                 // not hexadecimal
      key + "\"a\"=dword:\n",                                     // no digits
      key + "\"a\"=hex:01,,02\n",                                 // empty byte
      key + "\"a\"=hex:123\n",                                    // byte of three digits
      key + "\"a\"=hex(zz):01\n",                                 // bad type
      key + "\"a\"=hex(2)01\n",                                   // no ":"
      key + "\"a\"=hex:01,\\\n",                                  // continued past the end
      key + "\"a\"=42\n",                                         // unknown form
      key + "just some words\n",                                  // not a line of the format
      key + "\"a\"=\"\xC3\x28\"\n",                               // not UTF-8
      QByteArray("\xFF\xFE\x41", 3),                              // UTF-16 of an odd length
  };
  for (const QByteArray& text : cases) {
    QString error;
    EXPECT_FALSE(TRegHive::Parse(text, Cu, &error).has_value()) << text.toStdString();
    EXPECT_FALSE(error.isEmpty()) << text.toStdString();
  }
  // Nothing at all is an empty hive, not a broken one.
  for (const QByteArray& empty : {QByteArray(), QByteArray("\n\n  \r\n"), QByteArray("\xEF\xBB\xBF")})
    EXPECT_TRUE(TRegHive::Parse(empty, Cu).has_value());
}

TEST(RegistryHive, ReadsUtf16ExportsAndTheOlderHeader) {
  const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"Name\"=\"Wert ß\"\r\n");
  QByteArray utf16("\xFF\xFE", 2);
  for (QChar c : text) {
    utf16 += static_cast<char>(c.unicode() & 0xFF);
    utf16 += static_cast<char>(c.unicode() >> 8);
  }
  EXPECT_EQ(TextOf(MustParse(utf16), "Software", "Name"), QStringLiteral("Wert ß"));
  EXPECT_EQ(TextOf(MustParse("REGEDIT4\n[HKEY_CURRENT_USER\\Software]\n\"Name\"=\"x\"\n"), "Software", "Name"), "x");
}

// Random bytes, truncated files and damaged copies of a good hive: the parser always answers,
// and whatever it accepts is written back to text that reads the same again.
TEST(RegistryHive, SurvivesRandomAndTruncatedInput) {
  std::mt19937 random(20240611);
  const QByteArray good = Sample().ToText();
  const QByteArray crlf = QByteArray(good).replace("\n", "\r\n");
  const QByteArray alphabet = "[]\\\"@=-:,;() \t\r\nhexdwordHKEY_CURRENT_USER0123456789abcdefWindows Registry Editor Version 5.00";
  for (int round = 0; round < 4000; ++round) {
    QByteArray input;
    switch (round % 5) {
      case 0: {  // random bytes
        input.resize(static_cast<qsizetype>(random() % 300));
        for (char& c : input) c = static_cast<char>(random());
        break;
      }
      case 1:  // a good file cut anywhere
        input = (round % 2 ? good : crlf).left(static_cast<qsizetype>(random() % (good.size() + 1)));
        break;
      case 2: {  // a good file with bytes changed
        input = good;
        for (int k = 0, n = 1 + static_cast<int>(random() % 8); k < n; ++k)
          input[static_cast<qsizetype>(random() % input.size())] = static_cast<char>(random());
        break;
      }
      case 3: {  // the header and random characters of the format
        input = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\a]\n";
        for (int k = 0, n = static_cast<int>(random() % 200); k < n; ++k)
          input += alphabet[static_cast<qsizetype>(random() % alphabet.size())];
        break;
      }
      default: {  // a good file with a slice removed
        input = good;
        const qsizetype from = static_cast<qsizetype>(random() % good.size());
        input.remove(from, static_cast<qsizetype>(random() % 40));
        break;
      }
    }
    std::optional<TRegHive> hive = TRegHive::Parse(input, Cu);
    if (!hive) continue;
    const QByteArray text = hive->ToText();
    std::optional<TRegHive> again = TRegHive::Parse(text, Cu);
    ASSERT_TRUE(again.has_value()) << "round " << round;
    ASSERT_EQ(again->ToText(), text) << "round " << round;
  }
}

}  // namespace
