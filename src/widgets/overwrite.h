#pragma once
// Before a window replaces files that exist, it asks "上書きしますか？" naming
// them; qrnconv replaces without asking (scripts rely on that). Also the title
// bar of our dialogs: a close button, no minimise or maximise.

#include <QString>
#include <QStringList>
#include <Qt>

class QWidget;

namespace qrn {

inline constexpr Qt::WindowFlags kDialogWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// True when none of `paths` exists, or the user answered "はい"; false for
// "いいえ" (the default) or Esc. The box is titled `title` and names every file
// that exists.
bool confirmOverwrite(QWidget* parent, const QString& title, const QStringList& paths);

// The question's text for the existing files among `paths`; empty when none exists.
QString overwriteQuestion(const QStringList& paths);

}  // namespace qrn
