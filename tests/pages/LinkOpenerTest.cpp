// The link opener's fallback through the desktop's default text/html handler, with the XDG
// folders pointed at a temporary tree whose handler is a script that records its arguments.
#include "LinkOpener.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <QByteArray>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "GuiWait.h"
#include "TempTree.h"

namespace tandrel {
namespace {

const char* const kXdgVars[] = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME",
                                "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP"};

class LinkOpenerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* var : kXdgVars) {
            m_saved.push_back(qEnvironmentVariableIsSet(var)
                                  ? std::optional<QByteArray>(qgetenv(var))
                                  : std::nullopt);
        }
        for (const char* dir : {"config", "etc", "data/applications", "share/applications",
                                "share/applications/vendor", "bin"}) {
            m_tree.MakeDir(dir);
        }
        qputenv("XDG_CONFIG_HOME", Path("config").c_str());
        qputenv("XDG_CONFIG_DIRS", Path("etc").c_str());
        qputenv("XDG_DATA_HOME", Path("data").c_str());
        qputenv("XDG_DATA_DIRS", (Path("none") + ":" + Path("share")).c_str());
        qunsetenv("XDG_CURRENT_DESKTOP");
        // The handler writes each argument followed by a NUL byte, then renames the record
        // into place, so a test sees it whole or not at all.
        m_tree.WriteFile("bin/handler",
                         "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"" +
                             Path("args.tmp") + "\" && mv \"" + Path("args.tmp") + "\" \"" +
                             Path("args") + "\"\n",
                         std::nullopt, 0755);
    }

    void TearDown() override {
        for (size_t i = 0; i < std::size(kXdgVars); ++i) {
            m_saved[i] ? qputenv(kXdgVars[i], *m_saved[i]) : qunsetenv(kXdgVars[i]);
        }
    }

    std::string Path(const std::string& rel) const { return m_tree.Path(rel); }

    // A desktop entry `file` (relative to the tree) running `exec`.
    void WriteEntry(const std::string& file, const std::string& exec) {
        m_tree.WriteFile(file,
                         "[Desktop Action new]\nExec=/bin/false\n\n[Desktop Entry]\n"
                         "Type=Application\nName=Browser\nExec=" +
                             exec + "\n");
    }
    // A mimeapps.list `file` whose default for text/html is `ids`.
    void WriteDefaults(const std::string& file, const std::string& ids) {
        m_tree.WriteFile(file,
                         "[Added Associations]\ntext/html=added.desktop;\n\n"
                         "[Default Applications]\ntext/plain=plain.desktop\ntext/html=" +
                             ids + "\n");
    }

    // Opens `target` with a desktop that refuses it.
    int OpenWithoutDesktop(const QString& target) {
        return LinkOpener([](const QUrl&) { return false; }).Open(target);
    }

    // The arguments the handler was run with, once it has run.
    std::vector<std::string> HandlerArgs() {
        EXPECT_TRUE(WaitFor([&] { return m_tree.Exists("args"); }));
        std::istringstream record(m_tree.ReadFile("args"));
        std::vector<std::string> args;
        for (std::string arg; std::getline(record, arg, '\0');) {
            args.push_back(arg);
        }
        ::unlink(Path("args").c_str());
        return args;
    }

    TempTree m_tree;
    std::vector<std::optional<QByteArray>> m_saved;
};

using Args = std::vector<std::string>;

TEST_F(LinkOpenerTest, DesktopOpenComesFirstAndGetsAnAddressOrAFile) {
    std::vector<QUrl> urls;
    const LinkOpener opener([&](const QUrl& url) {
        urls.push_back(url);
        return true;
    });
    EXPECT_EQ(opener.Open("https://www.halvory.example/a b"), LinkOpener::kOpened);
    EXPECT_EQ(opener.Open("/srv/page one.html"), LinkOpener::kOpened);
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(urls[0].scheme(), "https");
    EXPECT_EQ(urls[0].host(), "www.halvory.example");
    EXPECT_TRUE(urls[1].isLocalFile());
    EXPECT_EQ(urls[1].toLocalFile(), "/srv/page one.html");
}

TEST_F(LinkOpenerTest, HandlerGetsItsCommandUpToThePlaceholderThenTheTargetAsOneArgument) {
    WriteDefaults("config/mimeapps.list", "browser.desktop;");
    const std::string handler = Path("bin/handler");
    const QString target = "https://www.halvory.example/tandrel/";

    // Quoted placeholder: cut at its opening quote; the desktop entry's escapes and quoting
    // are resolved in what stays.
    WriteEntry("data/applications/browser.desktop",
               "\"" + handler + "\" \"--title=say \\\\\"hi\\\\\"\" 100%% \"%u\" --after");
    EXPECT_EQ(OpenWithoutDesktop(target), LinkOpener::kOpened);
    EXPECT_EQ(HandlerArgs(), (Args{"--title=say \"hi\"", "100%", target.toStdString()}));

    // Bare placeholder: cut at it; field codes before it are dropped.
    WriteEntry("data/applications/browser.desktop", handler + " -a %i %U more %u");
    EXPECT_EQ(OpenWithoutDesktop(target), LinkOpener::kOpened);
    EXPECT_EQ(HandlerArgs(), (Args{"-a", target.toStdString()}));

    // No placeholder: the whole command, then the target.
    WriteEntry("data/applications/browser.desktop", handler + " --new-window");
    EXPECT_EQ(OpenWithoutDesktop(target), LinkOpener::kOpened);
    EXPECT_EQ(HandlerArgs(), (Args{"--new-window", target.toStdString()}));

    // Whatever the target holds, it is one argument and no shell sees it.
    const std::string odd = "a b \"c\" 'd' ; touch " + Path("one") + " $(touch " + Path("two") +
                            ") `touch " + Path("three") + "` | cat";
    EXPECT_EQ(OpenWithoutDesktop(QString::fromStdString(odd)), LinkOpener::kOpened);
    EXPECT_EQ(HandlerArgs(), (Args{"--new-window", odd}));
    for (const char* name : {"one", "two", "three"}) {
        EXPECT_FALSE(m_tree.Exists(name)) << name;
    }
}

TEST_F(LinkOpenerTest, DefaultsAreLookedUpInTheStandardOrder) {
    const std::string handler = Path("bin/handler");
    WriteEntry("share/applications/vendor/web.desktop", handler + " --system %u");
    WriteEntry("data/applications/user.desktop", handler + " --user %u");
    WriteEntry("share/applications/desk.desktop", handler + " --desk %u");

    // Only the system's data folder sets a default; its id names a file in a subfolder.
    WriteDefaults("share/applications/mimeapps.list", "vendor-web.desktop");
    EXPECT_EQ(OpenWithoutDesktop("x"), LinkOpener::kOpened);
    EXPECT_EQ(HandlerArgs(), (Args{"--system", "x"}));

    // The user's configuration wins; an id that is not installed is passed over.
    WriteDefaults("config/mimeapps.list", "gone.desktop;user.desktop;");
    EXPECT_EQ(OpenWithoutDesktop("x"), LinkOpener::kOpened);
    EXPECT_EQ(HandlerArgs(), (Args{"--user", "x"}));

    // The current desktop's own list comes before the common one of the same folder.
    qputenv("XDG_CURRENT_DESKTOP", "Other:Test");
    WriteDefaults("config/test-mimeapps.list", "desk.desktop");
    EXPECT_EQ(OpenWithoutDesktop("x"), LinkOpener::kOpened);
    EXPECT_EQ(HandlerArgs(), (Args{"--desk", "x"}));
}

TEST_F(LinkOpenerTest, NoUsableHandlerKeepsTheDesktopsCode) {
    EXPECT_EQ(OpenWithoutDesktop("https://x.example/"), LinkOpener::kNoAssociation);

    WriteDefaults("config/mimeapps.list", "gone.desktop");
    EXPECT_EQ(OpenWithoutDesktop("https://x.example/"), LinkOpener::kNoAssociation);

    m_tree.WriteFile("data/applications/noexec.desktop", "[Desktop Entry]\nName=No Exec\n");
    WriteDefaults("config/mimeapps.list", "noexec.desktop");
    EXPECT_EQ(OpenWithoutDesktop("https://x.example/"), LinkOpener::kNoAssociation);
}

TEST_F(LinkOpenerTest, HandlerThatCannotStartGivesItsCode) {
    WriteDefaults("config/mimeapps.list", "browser.desktop");
    WriteEntry("data/applications/browser.desktop", Path("bin/missing") + " %u");
    EXPECT_EQ(OpenWithoutDesktop("https://x.example/"), LinkOpener::kFileNotFound);

    WriteEntry("data/applications/browser.desktop", "no-such-browser-on-path %u");
    EXPECT_EQ(OpenWithoutDesktop("https://x.example/"), LinkOpener::kFileNotFound);

    // Without any execute bit not even root may run it.
    m_tree.WriteFile("bin/plain", "#!/bin/sh\nexit 0\n", std::nullopt, 0644);
    WriteEntry("data/applications/browser.desktop", Path("bin/plain") + " %u");
    EXPECT_EQ(OpenWithoutDesktop("https://x.example/"), LinkOpener::kAccessDenied);
}

}  // namespace
}  // namespace tandrel
