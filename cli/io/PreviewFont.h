// The face the still preview's text is set in. Looking a face up by family
// name makes the font library read and parse the whole font configuration,
// which costs more than drawing a small picture; the preview's family,
// "sans-serif", is on the systems the command is built for one known file,
// opened here directly with the same rendering options the configuration
// gives it. Where that file is missing, the lookup by name is used instead,
// so the picture always has its text.
#ifndef TRESSEL_CLI_IO_PREVIEWFONT_H
#define TRESSEL_CLI_IO_PREVIEWFONT_H

#include <cairo.h>

#include <string>
#include <vector>

namespace cliio {

// The files tried, first found wins.
const std::vector<std::string>& PreviewFontFiles();

// Sets `cairo`'s font face and options for the preview's text: the first of
// `files` that loads, else the family looked up by name. Returns whether a
// file was used. The face of a file is loaded once a process and kept.
bool SelectPreviewFont(cairo_t* cairo, const std::vector<std::string>& files = PreviewFontFiles());

}  // namespace cliio

#endif
