// The certificate dialog of the chooser window (a double click on an entry).
#pragma once

#include "signing/chooser_view.h"

class QWidget;

namespace corvane::signing::qt {

// Shows `facts` in a modal dialog over `parent` and returns when it closes.
void show_certificate_dialog(QWidget* parent, const CertificateFacts& facts);

}  // namespace corvane::signing::qt
