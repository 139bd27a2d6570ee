#pragma once
// The 101 editor bitmaps: image id (the key of the framework's bitmap cache), image name
// (what the layout asks for), file under "resources/img/", frame count, and whether the
// frames lie side by side. Written once here and read by every function that needs it.
#include <cstddef>

// X(id, name, file, frames, framesHorizontal)
#define QOR_IMAGE_TABLE(X) \
    X(102, MANAGER_BG_ID2, "lib-blank-bg.png", 1, true) \
    X(103, BG_ID_BROWSER, "qor-browser-layer-bg.png", 1, true) \
    X(104, MAIN_BG_FRAME_ID, "main-bg-frame.png", 1, true) \
    X(110, IKNOBROTATERCONTROL_ID5, "knob-qor-normal-5.png", 5, false) \
    X(111, IKNOBROTATERCONTROL_ID2, "knob-qor-normal.png", 128, false) \
    X(112, IKNOBROTATERCONTROL_ID16, "knob-qor-normal-16.png", 16, false) \
    X(113, IKNOBROTATERCONTROL_ID21, "knob-qor-normal-21.png", 21, false) \
    X(114, IKNOBROTATERCONTROL_ID25, "knob-qor-normal-25.png", 25, false) \
    X(115, IKNOBROTATERCONTROL_ID49, "knob-qor-normal-49.png", 49, false) \
    X(117, BUTTON_LIB_DISCARD_ID, "btn-lib-discard-edit.png", 1, true) \
    X(118, BUTTON_LIB_CANCEL_ID, "btn-cancel-request.png", 1, true) \
    X(119, BUTTON_LIB_DATATYPE_ID, "btn-lib-display-multis.png", 2, false) \
    X(122, PROGRESS_INDICATOR_ID, "qor-progress-overlay.png", 1, true) \
    X(123, BG_ID_INDICATOR_PROTECTOR, "qor-quick-led-protect.png", 1, true) \
    X(128, BUTTON_LOCK_WHITE_ID, "btn-lock-white.png", 2, false) \
    X(129, BUTTON_LIB_PATTERN_MODE_ID, "btn-lib-display-sequences.png", 2, false) \
    X(131, PATTERN_OVERLAYER_ID, "pattern-step-overlayer.png", 1, true) \
    X(132, BUTTON_TAB_TOPBAR_ID, "main-tab-selector.png", 2, false) \
    X(133, BUTTON_TAB_SIDEBAR_ID, "main-part-selector.png", 2, true) \
    X(140, BUTTON_MIXER_MUTE1_ID, "btn-part01.png", 2, false) \
    X(141, BUTTON_MIXER_MUTE2_ID, "btn-part02.png", 2, false) \
    X(142, BUTTON_MIXER_MUTE3_ID, "btn-part03.png", 2, false) \
    X(143, BUTTON_MIXER_MUTE4_ID, "btn-part04.png", 2, false) \
    X(144, BUTTON_MIXER_MUTE5_ID, "btn-part05.png", 2, false) \
    X(145, BUTTON_MIXER_MUTE6_ID, "btn-part06.png", 2, false) \
    X(146, BUTTON_MIXER_MUTE7_ID, "btn-part07.png", 2, false) \
    X(147, BUTTON_MIXER_MUTE8_ID, "btn-part08.png", 2, false) \
    X(161, BUTTON_BANK_RECALL_ID, "btn-lib-bank-memory.png", 2, false) \
    X(168, SLIDER_PYSTY, "slider-pysty.png", 1, false) \
    X(169, IKNOBROTATERCONTROL_ID3, "knob-qor-small.png", 128, false) \
    X(170, SLIDER_VAAKA, "slider-vaaka.png", 1, false) \
    X(184, BUTTON_PART_MUTE, "btn-mute-part.png", 2, false) \
    X(202, BUTTON_PATCHUP_ID, "btn-patch-up.png", 2, false) \
    X(203, BUTTON_PATCHDW_ID, "btn-patch-down.png", 2, false) \
    X(257, BG_RENAME_ID, "newNameBG.png", 1, true) \
    X(258, BTN_127x18_ID, "btn-127x18.png", 1, true) \
    X(300, LED_MIXER_MIDI_ID, "led-pink.png", 2, false) \
    X(301, BTN_SMALL_ID, "button-small.png", 2, false) \
    X(302, BG_ID_SINGLE_PROTECTOR, "qor-single-led-protect.png", 1, true) \
    X(303, BTN_18x18_ID, "btn-18x18.png", 1, true) \
    X(304, ID_TRIGGER, "buttontrigger.png", 1, true) \
    X(305, LED_MIXER_MIDI_INV_ID, "led-pink-inv.png", 2, false) \
    X(306, ID_RANDOMIZE, "buttonrandomizer.png", 1, true) \
    X(309, BUTTON_ARP_POWER1_ID, "arp-on-off-button.png", 2, false) \
    X(310, BG_ABOUT_ID, "about-QOR.png", 1, true) \
    X(311, BTN_EXIT_ABOUT_ID, "about-exit.png", 1, true) \
    X(312, BTN_SEE_ABOUT_ID, "about-trigger.png", 1, true) \
    X(313, BG_FIRST_RUN_ID, "first-run-QOR.png", 1, true) \
    X(314, BTN_EXIT_FIRST_RUN_ID, "first-run-exit.png", 1, true) \
    X(315, BTN_OFFON_ID, "btn-lib-display-categories.png", 2, false) \
    X(316, BG_ID_CATEGORY_FILTER, "categoryFilterBG.png", 1, true) \
    X(317, BG_ID_MIDI_FILTERS, "advanced-midi-filters.png", 1, true) \
    X(318, BTN_CHECKBOX_ID, "checkbox-button.png", 2, false) \
    X(319, BTN_SMALL_LED_SM_ID, "buttom-small-led.png", 2, false) \
    X(320, BG_PART_SELECT_OVERLAY_ID, "part-select-overlay45x35.png", 1, true) \
    X(321, OSCILLATOR_WAVEFORM_ID, "waveform-select.png", 2, false) \
    X(322, BG_OSC_WIDTH_LEVEL_ID, "osc-width-level.png", 1, true) \
    X(323, FILTER_SLOPE_ID, "qor-filter-slope-select.png", 2, false) \
    X(324, FILTER_SLOPE_OVERLAYER_ID, "qor-filter-slope-overlayer.png", 1, true) \
    X(325, BTN_SMALL_INV_ID, "button-small-inv.png", 2, false) \
    X(326, LFO_WAVEFORM_ID, "qor-lfo-waveform-select.png", 2, false) \
    X(327, MOD_TAB_ID, "qor-matrix-selector.png", 2, false) \
    X(328, LFO_DESTINATION_ID, "qor-lfo-destination.png", 1, true) \
    X(329, ENV_DESTINATION_ID, "qor-env-destination.png", 1, true) \
    X(330, WHEEL_DESTINATION_ID, "qor-wheel-destination.png", 1, true) \
    X(331, RING_DESTINATION_ID, "qor-ring-destination.png", 1, true) \
    X(332, EFFECTS_DEFAULT_ID, "fx-01-default.png", 1, true) \
    X(333, EFFECTS_CONFIG02_ID, "fx-02-config.png", 1, true) \
    X(334, EFFECTS_CONFIG03_ID, "fx-03-config.png", 1, true) \
    X(335, EFFECTS_CONFIG04_ID, "fx-04-config.png", 1, true) \
    X(336, EFFECTS_CONFIG05_ID, "fx-05-config.png", 1, true) \
    X(337, EFFECTS_CONFIG06_ID, "fx-06-config.png", 1, true) \
    X(338, EFFECTS_CONFIG07_ID, "fx-07-config.png", 1, true) \
    X(339, EFFECTS_CONFIG08_ID, "fx-08-config.png", 1, true) \
    X(340, EFFECTS_CONFIG09_ID, "fx-09-config.png", 1, true) \
    X(341, EFFECTS_CONFIG10_ID, "fx-10-config.png", 1, true) \
    X(342, EFFECTS_CONFIG11_ID, "fx-11-config.png", 1, true) \
    X(343, EFFECTS_CONFIG12_ID, "fx-12-config.png", 1, true) \
    X(344, EFFECTS_CONFIG13_ID, "fx-13-config.png", 1, true) \
    X(345, EFFECTS_CONFIG14_ID, "fx-14-config.png", 1, true) \
    X(346, EFFECTS_CONFIG15_ID, "fx-15-config.png", 1, true) \
    X(347, EFFECTS_CONFIG16_ID, "fx-16-config.png", 1, true) \
    X(348, EFFECTS_CONFIG17_ID, "fx-17-config.png", 1, true) \
    X(349, EFFECTS_CONFIG18_ID, "fx-18-config.png", 1, true) \
    X(350, EFFECTS_CONFIG19_ID, "fx-19-config.png", 1, true) \
    X(359, BG_RUVO_PART_PROTECT_ID, "ruvo-part-protect.png", 1, true) \
    X(497, LED_MIXER_MIDI_LARGE_ID, "part-led-pink.png", 2, false) \
    X(498, BTN_MULTIMODE_LED_PROTECT_ID, "multimode-mixer-led-protect.png", 1, true) \
    X(500, MAIN_BG_ID, "main-bg.png", 1, true) \
    X(501, MULTI_SETTINGS_BG_ID, "qor-multi-settings-bg.png", 1, true) \
    X(502, MULTI_MIXER_BG_ID, "qor-multimode-mixer-bg.png", 1, true) \
    X(503, QUICK_MIXER_ID, "qor-quick-mixer-bg.png", 1, true) \
    X(504, OSCILLATORS_ID, "qor-oscillators.png", 1, true) \
    X(505, FILTERS_ENV_ID, "qor-filter-envelopes.png", 1, true) \
    X(506, LFO_MODMATRIX_ID, "qor-lfo-modmatrix.png", 1, true) \
    X(507, EFFECTS_ID, "qor-effects.png", 1, true) \
    X(508, ARPEGGIATOR_ID, "qor-arpeggiator.png", 1, true) \
    X(996, BUTTON_BANK_OVERWRITE_ID, "btn-overwrite-slot.png", 1, true) \
    X(997, BG_PATCH_CONFLICT_ID, "bg-patch-conflict.png", 1, true) \
    X(998, BG_SEARCH_FIELD_ID, "bg-librarian-search-field.png", 1, true) \
    X(999, BUTTON_BANK_SEARCH_ID, "btn-search.png", 2, false) \

enum EImageIds : int {
#define QOR_IMAGE_ENUM_ROW(id, name, file, frames, horizontal) name = id,
    QOR_IMAGE_TABLE(QOR_IMAGE_ENUM_ROW)
#undef QOR_IMAGE_ENUM_ROW
};

struct ImageTableRow {
    int id;
    const char* name;
    const char* file; // the path handed to the loader: "resources/img/" and the file name
    int frames;
    bool framesHorizontal;
};

extern const ImageTableRow kImageTable[];
extern const size_t kImageTableSize;
