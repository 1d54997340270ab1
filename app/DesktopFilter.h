#pragma once

#include <QStringList>

#include <string>

namespace tessaro {

// Turns a desktop filter string, "Description(*.a;*.b)|*.a;*.b|All Files (*.*)|*.*|", into
// Qt's name filters, one per description: "Description (*.a *.b)", "All Files (*)". The
// description keeps its words; its own pattern text in parentheses gives way to the real
// patterns, which Qt reads from the last parentheses. "*.*" becomes "*", since a file name
// without a dot is a file too. A description without a pattern is left out.
QStringList QtNameFilters(const std::string& desktopFilter);

} // namespace tessaro
