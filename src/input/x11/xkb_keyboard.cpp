#include "input/x11/xkb_keyboard.h"

// xkb.h names a field `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include "platform/x11/xcb_handles.h"

namespace x11 {
namespace {

std::optional<XkbKeySymbols> read_symbols(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    XcbReply<xcb_xkb_get_map_reply_t> reply(
        xcb_xkb_get_map_reply(c,
                              xcb_xkb_get_map(c, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_MAP_PART_KEY_SYMS, 0, 0, 0,
                                              setup->min_keycode, count, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                              nullptr));
    if (!reply) return std::nullopt;
    xcb_xkb_get_map_map_t parts{};
    xcb_xkb_get_map_map_unpack(xcb_xkb_get_map_map(reply.get()), reply->nTypes, reply->nKeySyms,
                               reply->nKeyActions, reply->totalActions, reply->totalKeyBehaviors,
                               reply->virtualMods, reply->totalKeyExplicit, reply->totalModMapKeys,
                               reply->totalVModMapKeys, reply->present, &parts);
    XkbKeySymbols m;
    m.minKeycode = reply->firstKeySym;
    for (auto it = xcb_xkb_get_map_map_syms_rtrn_iterator(reply.get(), &parts); it.rem;
         xcb_xkb_key_sym_map_next(&it)) {
        const xcb_keysym_t* syms = xcb_xkb_key_sym_map_syms(it.data);
        m.keys.push_back({it.data->groupInfo, it.data->width,
                          std::vector<uint32_t>(syms, syms + xcb_xkb_key_sym_map_syms_length(it.data))});
    }
    return m;
}

bool use_xkb(xcb_connection_t* c) {
    XcbReply<xcb_xkb_use_extension_reply_t> xkb(xcb_xkb_use_extension_reply(
        c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    return xkb && xkb->supported;
}

}  // namespace

// Hears of group changes and of keymaps changed by others.
void XkbKeyboard::select_events() {
    constexpr uint16_t kEvents = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                 XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    xcb_xkb_select_events_details_t details{};
    details.affectState = XCB_XKB_STATE_PART_GROUP_STATE;
    details.stateDetails = XCB_XKB_STATE_PART_GROUP_STATE;
    xcb_xkb_select_events_aux(conn_, XCB_XKB_ID_USE_CORE_KBD, kEvents, 0,
                              XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY,
                              XCB_XKB_MAP_PART_KEY_SYMS, XCB_XKB_MAP_PART_KEY_SYMS, &details);
    XcbReply<xcb_xkb_get_state_reply_t> state(
        xcb_xkb_get_state_reply(conn_, xcb_xkb_get_state(conn_, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    group_ = state ? state->group : 0;
}

const XkbKeySymbols* XkbKeyboard::symbols(bool* reread) {
    if (symbols_ && !stale_) return &*symbols_;
    symbols_.reset();
    if (!use_xkb(conn_)) return nullptr;
    select_events();
    symbols_ = read_symbols(conn_);
    stale_ = false;
    if (reread) *reread = true;
    return symbols_ ? &*symbols_ : nullptr;
}

void XkbKeyboard::handle(const xcb_generic_event_t* event, const std::function<bool(uint8_t, uint8_t)>& ours) {
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(conn_, &xcb_xkb_id);
    if (!xkb || !xkb->present || (event->response_type & 0x7F) != xkb->first_event) return;
    switch (event->pad0) {  // the XKB event type
        case XCB_XKB_STATE_NOTIFY:
            group_ = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event)->group;
            break;
        case XCB_XKB_MAP_NOTIFY: {
            const auto* n = reinterpret_cast<const xcb_xkb_map_notify_event_t*>(event);
            if (!ours(n->firstKeySym, n->nKeySyms)) stale_ = true;
            break;
        }
        case XCB_XKB_NEW_KEYBOARD_NOTIFY: stale_ = true; break;
        default: break;
    }
}

}  // namespace x11
