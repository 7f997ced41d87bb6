// The window `main` as the platform shows it: frame, geometry, fonts, order and painting.
#include "main_window.h"
#include "placement.h"
#include "testsupport.h"
#include "twips.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace tidewell;
using testsupport::Pixels;

namespace {

constexpr COLORREF trough = RGB(224, 224, 224);
constexpr COLORREF bar = RGB(255, 224, 192);

bool dark(COLORREF c)
{
    return GetRValue(c) < 110 && GetGValue(c) < 110 && GetBValue(c) < 110;
}

// The horizontal extent of the dark (text) pixels inside a rectangle; left > right if none.
std::pair<int, int> inkExtent(const Pixels& p, const RECT& r)
{
    int left = r.right, right = r.left - 1;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (dark(p.at(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return {left, right};
}

class MainWindow : public ::testing::Test {
protected:
    FenetreMain window{GetModuleHandleA(nullptr)};
    libmaj::Resolution dpi = libmaj::resolutionecran();

    int px(double twips) const { return libmaj::twipsenpixels(twips, dpi.x); }

    Pixels render(const char* name)
    {
        window.montre();
        const Pixels p = testsupport::captureClient(window.handle());
        EXPECT_TRUE(testsupport::savePng(p, std::string("main_window_") + name + ".png"));
        return p;
    }
};

}  // namespace

TEST_F(MainWindow, HasAFixedDialogFrameAndNoWayToCloseIt)
{
    const LONG style = GetWindowLongA(window.handle(), GWL_STYLE);
    EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION);
    EXPECT_FALSE(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    const LONG exstyle = GetWindowLongA(window.handle(), GWL_EXSTYLE);
    EXPECT_TRUE(exstyle & WS_EX_DLGMODALFRAME);
    // Owned and not an application window: no task bar button.
    EXPECT_NE(GetWindow(window.handle(), GW_OWNER), nullptr);
    EXPECT_FALSE(exstyle & WS_EX_APPWINDOW);
    EXPECT_EQ(window.titre(), "  T\xE9l\xE9" "chargement");
    SendMessageA(window.handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window.handle()));
}

TEST_F(MainWindow, ARunThatFailsClosesTheWindowAndEndsWithAFailure)
{
    window.suractivation([] { throw std::runtime_error("disk full"); });
    const HWND w = window.handle();
    window.montre();
    SendMessageA(w, WM_ACTIVATE, WA_ACTIVE, 0);
    MSG msg = {};
    const UINT_PTR timer = SetTimer(nullptr, 0, 10000, nullptr);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER)
        DispatchMessageA(&msg);
    KillTimer(nullptr, timer);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(MainWindow, ClientAreaAsDesignedThenOuterSizeAsPlaced)
{
    RECT client;
    GetClientRect(window.handle(), &client);
    EXPECT_EQ(client.right, px(7395));
    EXPECT_EQ(client.bottom, libmaj::twipsenpixels(2430, dpi.y));
    libmaj::centrefenetre(window, 7500, 2850);
    RECT outer;
    GetWindowRect(window.handle(), &outer);
    EXPECT_EQ(outer.right - outer.left, px(7500));
    EXPECT_EQ(outer.bottom - outer.top, libmaj::twipsenpixels(2850, dpi.y));
}

TEST_F(MainWindow, ElementsSitWhereTheDesignPutsThem)
{
    const RECT trough = window.rectangle(Element::img_pourcent);
    EXPECT_EQ(trough.left, px(2280));
    EXPECT_EQ(trough.top, px(960));
    EXPECT_EQ(trough.right - trough.left, px(4815));
    EXPECT_EQ(trough.bottom - trough.top, px(375));
    // The trough's elements are placed in its inner area, inside the sunken border.
    const RECT inner = window.interieurauge();
    EXPECT_EQ(inner.left, trough.left + 2);
    EXPECT_EQ(inner.top, trough.top + 2);
    const RECT text = window.rectangle(Element::lib_affpct);
    EXPECT_EQ(text.left, inner.left);
    EXPECT_EQ(text.top, inner.top + px(75));
    EXPECT_EQ(text.right - text.left, px(4740));
    EXPECT_EQ(window.largeurpourcent(), 4815);
    const RECT globe = window.rectangle(Element::icones0);
    EXPECT_EQ(globe.left, px(120));
    EXPECT_EQ(globe.right - globe.left, 128);
    const RECT arrow = window.rectangle(Element::icones1);
    EXPECT_EQ(arrow.right - arrow.left, 48);
    EXPECT_EQ(window.rectangle(Element::libelles3).left, px(5040));
}

TEST_F(MainWindow, FontsAreVerdanaOrItsStandIn)
{
    for (int i = 0; i <= 4; ++i) {
        const Police& p = window.modele().element(libelle(i)).police;
        EXPECT_EQ(p.face, "Verdana");
        EXPECT_EQ(p.points, 8.25);
        EXPECT_EQ(p.poids, i == 2 ? 700 : 400);
        const std::string used = window.faceutilisee(libelle(i));
        EXPECT_TRUE(used == "Verdana" || used == "Tahoma") << used;
    }
    // A label sizes itself to its text, one line high, from its fixed corner.
    window.libelle(1, "Fichier : Abacor.exe");
    const RECT r = window.rectangle(Element::libelles1);
    EXPECT_EQ(r.left, px(2280));
    EXPECT_GT(r.right - r.left, px(690));
    EXPECT_NEAR(r.bottom - r.top, 13, 2);
    window.libelle(1, "");
    const RECT empty = window.rectangle(Element::libelles1);
    EXPECT_EQ(empty.right, empty.left);
}

TEST_F(MainWindow, EmptyBarShowsTheWholeTrough)
{
    window.largeurpct(0);
    window.affpct("0%");
    const Pixels p = render("bar_0");
    const RECT inner = window.interieurauge();
    EXPECT_EQ(p.at(inner.left, inner.top), trough);
    EXPECT_EQ(p.at(inner.right - 1, inner.top), trough);
    EXPECT_EQ(p.at(inner.left + 1, inner.bottom - 1), trough);
}

TEST_F(MainWindow, HalfBarAndCentredPercentage)
{
    window.largeurpct(window.largeurpourcent() * 50 / 100);
    window.affpct("50%");
    window.premierplanaffpct();
    const Pixels p = render("bar_half");
    const RECT inner = window.interieurauge();
    const int end = inner.left + px(window.largeurpourcent() / 2);
    EXPECT_EQ(p.at(inner.left, inner.top), bar);
    EXPECT_EQ(p.at(end - 1, inner.top), bar);
    EXPECT_EQ(p.at(end + 1, inner.top), trough);
    const RECT text = window.rectangle(Element::lib_affpct);
    const auto [left, right] = inkExtent(p, text);
    ASSERT_LT(left, right);
    EXPECT_NEAR((left + right) / 2.0, (text.left + text.right) / 2.0, 2.0);
}

TEST_F(MainWindow, FullBarIsCutAtTheTroughsInnerEdge)
{
    window.largeurpct(window.largeurpourcent());
    window.affpct("100%");
    const RECT inner = window.interieurauge();
    const RECT text = window.rectangle(Element::lib_affpct);
    // As designed the bar lies in front of the percentage and hides it...
    const Pixels hidden = testsupport::captureClient((window.montre(), window.handle()));
    const auto covered = inkExtent(hidden, text);
    EXPECT_GT(covered.first, covered.second);
    // ...until the run brings the percentage to the front.
    window.premierplanaffpct();
    const Pixels p = render("bar_full");
    EXPECT_EQ(p.at(inner.left, inner.top), bar);
    EXPECT_EQ(p.at(inner.right - 1, inner.bottom - 1), bar);
    const RECT outer = window.rectangle(Element::img_pourcent);
    EXPECT_NE(p.at(outer.right - 1, inner.top), bar);   // the border stays a border
    EXPECT_NE(p.at(inner.left, outer.bottom - 1), bar);
    const auto [left, right] = inkExtent(p, text);
    ASSERT_LT(left, right);
    EXPECT_NEAR((left + right) / 2.0, (text.left + text.right) / 2.0, 2.0);
    EXPECT_EQ(p.at(left - 2, inner.top + 1), bar);   // the bar shows around the digits
}
