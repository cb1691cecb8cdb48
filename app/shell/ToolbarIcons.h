#pragma once

#include <QIcon>
#include <QString>

class QStyle;

/// The toolbar item's icon, every one drawn at the toolbar's full size so
/// the labels line up: the style's own icons for the tabs and Postfix, a
/// server and four distinct badges (the SSL ones with a padlock) for the
/// mail server and the POP3/IMAP daemons.
QIcon toolbarIcon(const QString& paletteLabel, const QStyle* style, int size);
