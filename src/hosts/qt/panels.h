// The open and save panels: Qt's own file dialog (the same on every desktop) with the
// request's German texts. Results are file URLs; empty when cancelled.
#pragma once

#include <QStringList>
#include <string>
#include <vector>

#include "platform/platform.h"

class QWidget;

namespace host::qt {

std::vector<std::string> runOpenPanel(const host::OpenPanelRequest& request, QWidget* parent);
std::string runSavePanel(const host::SavePanelRequest& request, QWidget* parent);

// "*.ext" patterns of the request's file types ("txt", ".txt" and "*.txt" alike).
QStringList nameFilterPatterns(const std::vector<std::string>& fileTypes);

}  // namespace host::qt
