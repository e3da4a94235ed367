// The chooser form's controls: captions, places and sizes in twips (15 twips
// per pixel), tab order. Shared by the window and the terminal form.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "signing/chooser_view.h"

namespace corvane::signing {

inline constexpr std::string_view kChooserCaption = "Private Key Info";
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidth = 7545;
inline constexpr int kClientHeight = 6450;
inline constexpr std::string_view kLabelFont = "MS Sans Serif";
inline constexpr double kLabelPoints = 8.25;
inline constexpr double kTitlePoints = 9.75;  // Label1

enum class ControlKind { kLabel, kList, kTextBox, kButton };

struct Control {
  std::string_view name;
  ControlKind kind;
  std::string_view caption;
  int left, top, width, height;
  int tab;
  std::optional<KeyField> field;  // the key field a text box shows
};

inline constexpr std::array<Control, 24> kChooserControls{{
    {"Label1", ControlKind::kLabel, "Choose Certificate from Personal Store:", 120, 120, 5055, 255, 0, {}},
    {"ListView1", ControlKind::kList, "", 120, 480, 7215, 2175, 19, {}},
    {"Label2", ControlKind::kLabel, "Accessible:", 120, 2880, 1335, 255, 5, {}},
    {"txtIsAccessible", ControlKind::kTextBox, "", 1680, 2880, 1815, 285, 1, KeyField::kIsAccessible},
    {"Label4", ControlKind::kLabel, "Exportable:", 120, 3360, 1335, 255, 7, {}},
    {"txtIsExportable", ControlKind::kTextBox, "", 1680, 3360, 1815, 285, 2, KeyField::kIsExportable},
    {"Label3", ControlKind::kLabel, "H/W Device:", 120, 3840, 1335, 255, 6, {}},
    {"txtIsHW", ControlKind::kTextBox, "", 1680, 3840, 1815, 285, 3, KeyField::kIsHW},
    {"Label5", ControlKind::kLabel, "Machine Key Set:", 120, 4320, 1575, 375, 18, {}},
    {"txtIsMachineKeySet", ControlKind::kTextBox, "", 1680, 4320, 1815, 285, 4, KeyField::kIsMachineKeySet},
    {"Label6", ControlKind::kLabel, "Protected:", 3720, 2880, 1335, 255, 8, {}},
    {"txtIsProtected", ControlKind::kTextBox, "", 5160, 2880, 2175, 285, 14, KeyField::kIsProtected},
    {"Label7", ControlKind::kLabel, "Removable:", 3720, 3360, 1335, 255, 9, {}},
    {"txtIsRemovable", ControlKind::kTextBox, "", 5160, 3360, 2175, 285, 15, KeyField::kIsRemovable},
    {"Label8", ControlKind::kLabel, "Provider Name:", 3720, 3840, 1455, 255, 10, {}},
    {"txtProviderName", ControlKind::kTextBox, "", 5160, 3840, 2175, 285, 16, KeyField::kProviderName},
    {"Label9", ControlKind::kLabel, "Provider Type:", 3720, 4320, 1335, 255, 11, {}},
    {"txtProviderType", ControlKind::kTextBox, "", 5160, 4320, 2175, 285, 17, KeyField::kProviderType},
    {"Label10", ControlKind::kLabel, "Container:", 120, 5040, 1335, 255, 12, {}},
    {"txtContainerName", ControlKind::kTextBox, "", 1680, 5040, 5655, 285, 13, KeyField::kContainerName},
    {"Label11", ControlKind::kLabel, "Unique Container:", 120, 5520, 1575, 375, 22, {}},
    {"txtUniqueContainer", ControlKind::kTextBox, "", 1680, 5520, 5655, 285, 21, KeyField::kUniqueContainer},
    {"Command1", ControlKind::kButton, "Disable", 4800, 6000, 1215, 375, 23, {}},
    {"cmdExit", ControlKind::kButton, "Choose", 6120, 6000, 1215, 375, 20, {}},
}};

// The label that stands left of a key field's text box.
[[nodiscard]] constexpr std::string_view field_label(KeyField field) {
  for (std::size_t i = 0; i + 1 < kChooserControls.size(); ++i)
    if (kChooserControls[i + 1].field == field) return kChooserControls[i].caption;
  return {};
}

}  // namespace corvane::signing
