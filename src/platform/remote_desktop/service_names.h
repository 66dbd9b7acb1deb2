#pragma once

// The D-Bus names of the two ways to a remote-desktop session.

constexpr const char* kMutterRemoteDesktop = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kMutterRemoteDesktopPath = "/org/gnome/Mutter/RemoteDesktop";
constexpr const char* kMutterRemoteDesktopSession = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr const char* kMutterScreenCast = "org.gnome.Mutter.ScreenCast";
constexpr const char* kMutterScreenCastPath = "/org/gnome/Mutter/ScreenCast";
constexpr const char* kMutterScreenCastSession = "org.gnome.Mutter.ScreenCast.Session";
constexpr const char* kMutterScreenCastStream = "org.gnome.Mutter.ScreenCast.Stream";

constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kPortalRemoteDesktop = "org.freedesktop.portal.RemoteDesktop";
constexpr const char* kPortalScreenCast = "org.freedesktop.portal.ScreenCast";
constexpr const char* kPortalRequest = "org.freedesktop.portal.Request";
constexpr const char* kPortalSession = "org.freedesktop.portal.Session";
