#include "LanguageFiles.h"
#include "TestSupport.h"
#include "config/GatewayConfigDoc.h"
#include "lang/Language.h"
#include "ui/ILoadLanguage.h"
#include "ui/LanguageTexts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>
#include <gtest/gtest.h>

using rztest::CTempDir;
using rztest::WriteLanguageFile;

namespace
{

// A page-like window that counts its LoadLanguage calls.
class CCountingPage : public QDialog, public ILoadLanguage
{
public:
    void LoadLanguage() override { ++loads; }
    int loads = 0;
};

QWidget* AddControl(QWidget* parent, QWidget* control, int id)
{
    control->setParent(parent);
    control->setProperty(kControlIdProperty, id);
    return control;
}

QString LabelOf(QWidget* window, int id)
{
    QWidget* control = FindControl(window, id);
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(control))
        return group->title();
    return "<none>";
}

class LanguageTextsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_dir.File("tool/language"));
        rztest::WriteBytes(m_dir.File("GatewayConfig.XML"),
                           rztest::Utf16Document(L"<MXRGateways><GatewayConfig><Language>English"
                                                 L"</Language></GatewayConfig></MXRGateways>"));
        ASSERT_TRUE(m_document.Load(m_dir.File("GatewayConfig.XML")));
        WriteLanguageFile(m_dir.File("tool/language/English.xml"),
                          {{L"Language", {{L"FontName", L"DejaVu Serif"}, {L"FontSize", L"-15"}}},
                           {L"Main",
                            {{L"103", L"Gateway Config Tool"},
                             {L"1", L"Save"},
                             {L"1008", L"Local IP"},
                             {L"1174", L""},
                             {L"100001", L"never"},
                             {L"-1", L"never"},
                             {L"1140", L"Slot1"},
                             {L"1175", L"Repeaters"}}}});
        WriteLanguageFile(m_dir.File("tool/language/Deutsch.xml"),
                          {{L"Main",
                            {{L"103", L"Gateway-Konfiguration"},
                             {L"1", L"Speichern"},
                             {L"1008", L"Lokale IP"},
                             {L"150", L"Spracheinstellungen"}}}});
    }
    void TearDown() override { ClearLanguageRegistry(); }

    void Load(const char* file)
    {
        lang::CLanguage::Instance().LoadFile(m_dir.File(std::string("tool/language/") + file),
                                             m_document, m_dir.File("tool/"));
    }

    CTempDir m_dir;
    CGatewayConfigDoc m_document;
};

} // namespace

TEST_F(LanguageTextsTest, ControlsAreRelabelledByTheirControlId)
{
    Load("English.xml");
    QDialog window;
    AddControl(&window, new QPushButton("template save"), 1);
    AddControl(&window, new QLabel("template ip"), 1008);
    AddControl(&window, new QLabel("Port group"), 1174); // empty text: keeps its label
    AddControl(&window, new QLabel("big id"), 100001);
    AddControl(&window, new QLabel("static"), -1);
    AddControl(&window, new QCheckBox("slot"), 1140);
    AddControl(&window, new QGroupBox("group"), 1175);
    auto* noId = new QLabel("no id", &window);
    // A grandchild is not a direct child and keeps its label.
    auto* inner = new QWidget(&window);
    AddControl(inner, new QLabel("inner"), 1008);

    ApplyLanguageTexts(&window, 102, false);
    EXPECT_EQ(window.windowTitle(), "Gateway Config Tool"); // 102 shows text 103
    EXPECT_EQ(LabelOf(&window, 1), "Save");
    EXPECT_EQ(LabelOf(&window, 1008), "Local IP");
    EXPECT_EQ(LabelOf(&window, 1174), "Port group");
    EXPECT_EQ(LabelOf(&window, 100001), "big id");
    EXPECT_EQ(LabelOf(&window, -1), "static");
    EXPECT_EQ(LabelOf(&window, 1140), "Slot1");
    EXPECT_EQ(LabelOf(&window, 1175), "Repeaters");
    EXPECT_EQ(noId->text(), "no id");
    EXPECT_EQ(LabelOf(inner, 1008), "inner");

    // A dialog ID without a text clears the caption.
    ApplyLanguageTexts(&window, 129, false);
    EXPECT_EQ(window.windowTitle(), "");
}

TEST_F(LanguageTextsTest, RegisteredWindowsAreFilledAgainAfterALanguageChange)
{
    Load("English.xml");
    CCountingPage page;
    AddControl(&page, new QPushButton("template"), 1);
    AddControl(&page, new QLabel("template ip"), 1008);
    CCountingPage unregistered;
    AddControl(&unregistered, new QPushButton("template"), 1);

    ApplyLanguageTexts(&page, 150, true);
    ApplyLanguageTexts(&page, 150, true); // registered once
    ApplyLanguageTexts(&unregistered, 150, false);
    EXPECT_EQ(page.loads, 2);
    EXPECT_EQ(page.windowTitle(), "");
    {
        // A registered window that is gone is passed over.
        CCountingPage gone;
        ApplyLanguageTexts(&gone, 129, true);
    }

    Load("Deutsch.xml");
    ReapplyLanguageTexts();
    EXPECT_EQ(page.windowTitle(), "Spracheinstellungen");
    EXPECT_EQ(LabelOf(&page, 1), "Speichern");
    EXPECT_EQ(LabelOf(&page, 1008), "Lokale IP");
    EXPECT_EQ(page.loads, 3);
    EXPECT_EQ(LabelOf(&unregistered, 1), "Save");
    EXPECT_EQ(unregistered.loads, 1);
}

TEST_F(LanguageTextsTest, LanguageFontsComeFromTheFileOrTheDefault)
{
    Load("English.xml");
    EXPECT_EQ(LanguageFont().family(), "DejaVu Serif");
    EXPECT_EQ(LanguageFont().pixelSize(), 15);
    EXPECT_EQ(LanguageTitleFont().pixelSize(), QApplication::font().pixelSize());
    Load("Deutsch.xml");
    EXPECT_EQ(LanguageFont(), QApplication::font());
}

TEST_F(LanguageTextsTest, LanguageFontsComeFromTheFileOrTheDesktopsFont)
{
    const QFont desktop = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    Load("English.xml");
    // The language's font becomes the toolkit's default: a message box and a control without
    // a font of its own have it.
    ApplyToolkitTranslation();
    EXPECT_EQ(QMessageBox().font().family(), "DejaVu Serif");
    EXPECT_EQ(QLabel().font().pixelSize(), 15);
    // A language without a font of its own falls back on the desktop's, not on the last
    // language's.
    Load("Deutsch.xml");
    EXPECT_EQ(LanguageFont(), desktop);
    ApplyToolkitTranslation();
    EXPECT_EQ(QApplication::font(), desktop);
    // When the window goes, so does the language's font.
    Load("English.xml");
    ApplyToolkitTranslation();
    RestoreToolkitDefaults();
    EXPECT_EQ(QApplication::font(), desktop);
}
