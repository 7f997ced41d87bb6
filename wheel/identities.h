// The published identities of the control library: host applications are built against
// these exact values.
#pragma once

#include <windows.h>

namespace rotelle {

// {1AC77372-021E-496E-8BA9-B5C41643D93F}
constexpr GUID LIBID_RotelleCV = {0x1AC77372, 0x021E, 0x496E, {0x8B, 0xA9, 0xB5, 0xC4, 0x16, 0x43, 0xD9, 0x3F}};
// {7CDC43CB-57CB-4FB3-AEF4-2BBB62471F92}
constexpr GUID IID__Wheel = {0x7CDC43CB, 0x57CB, 0x4FB3, {0xAE, 0xF4, 0x2B, 0xBB, 0x62, 0x47, 0x1F, 0x92}};
// {87496B66-D4FB-4152-9517-BCF5AE5B6141}
constexpr GUID DIID___Wheel = {0x87496B66, 0xD4FB, 0x4152, {0x95, 0x17, 0xBC, 0xF5, 0xAE, 0x5B, 0x61, 0x41}};
// {A6C60A56-0F8A-43D3-B4E7-DFA64E4EF8F6}
constexpr GUID CLSID_Wheel = {0xA6C60A56, 0x0F8A, 0x43D3, {0xB4, 0xE7, 0xDF, 0xA6, 0x4E, 0x4E, 0xF8, 0xF6}};

constexpr DISPID DISPID_About = -552;   // DISPID_ABOUTBOX
constexpr DISPID DISPID_StopWheel = 0x60030004;
constexpr DISPID DISPID_StartWheel = 0x60030005;
constexpr DISPID DISPID_WheelRotate = 1;

// The control keeps 500 x 500 twips: 882 x 882 in HIMETRIC units (500 * 2540 / 1440).
constexpr LONG tailletwips = 500;
constexpr LONG taillehimetric = (tailletwips * 2540 + 720) / 1440;

constexpr DWORD miscstatus = 0x00020591;

}  // namespace rotelle
