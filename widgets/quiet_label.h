// Labels that are empty most of the time (warnings shown only when something
// is missing). An empty label inside a group box would otherwise be read
// out by a screen reader under the group's caption, so the caption is heard
// twice; a quiet label's accessible name is its own text, nothing when empty.
#pragma once

class QLabel;

namespace kt {

// Marks `label` as quiet when empty. Call before the label is first shown.
void MakeQuietWhenEmpty(QLabel* label);

}  // namespace kt
