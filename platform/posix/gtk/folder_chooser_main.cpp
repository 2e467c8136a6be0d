// folder-chooser: the desktop's folder chooser for the POSIX folder browser
// (platform/posix/folder_browser.cpp), one dialog per run.
//
//   folder-chooser [--title TEXT] [--flags N] [--transient-for XID]
//
// Lines of UTF-8 on standard input and output; "\" escapes "\", line feeds and returns.
// Once the window exists it writes "ready WIDTH HEIGHT" and reads commands until "show":
//   select PATH   the folder shown and chosen when the user confirms at once
//   move X Y      the window's top-left corner on the screen
//   size W H      the window's size
//   text TEXT     the window's title
// Then the dialog runs, and the last line says how it ended: "chosen PATH",
// "chosen-without-path" (a place that is not a folder) or "cancel". Exit status 0, or 2
// when no display can be opened.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "platform/posix/gtk/chooser_protocol.h"

namespace {

// Flags of the browse request that have a meaning here.
constexpr unsigned kNewDialogStyle = 0x0040;
constexpr unsigned kNoNewFolderButton = 0x0200;

const char kDefaultTitle[] = "\xE6\xB5\x8F\xE8\xA7\x88\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9";  // 浏览文件夹
const char kConfirm[] = "\xE7\xA1\xAE\xE5\xAE\x9A(_O)";  // 确定(_O)
const char kCancel[] = "\xE5\x8F\x96\xE6\xB6\x88(_C)";   // 取消(_C)

using folder_chooser::Escape;
using folder_chooser::Unescape;

void Say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string title;
  unsigned flags = kNewDialogStyle;
  unsigned long owner = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--title") == 0) title = argv[i + 1];
    else if (std::strcmp(argv[i], "--flags") == 0) flags = std::strtoul(argv[i + 1], nullptr, 0);
    else if (std::strcmp(argv[i], "--transient-for") == 0)
      owner = std::strtoul(argv[i + 1], nullptr, 0);
  }
  // Settings stay in this run: no desktop settings service is needed, and the dialog's
  // remembered size of another program does not apply.
  setenv("GSETTINGS_BACKEND", "memory", 0);
  if (!gtk_init_check(&argc, &argv)) {
    Say("error no display");
    return 2;
  }

  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      kDefaultTitle, nullptr, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, kCancel,
      GTK_RESPONSE_CANCEL, kConfirm, GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  // Without a "select" the dialog opens on the current folder, as the browse dialog
  // opens on a folder tree: GTK's own start, the recent files, has no folder to confirm.
  if (gchar* here = g_get_current_dir()) {
    gtk_file_chooser_set_current_folder(chooser, here);
    g_free(here);
  }
  // The old dialog style has no "new folder" button, and the flag takes it away.
  gtk_file_chooser_set_create_folders(
      chooser, (flags & kNewDialogStyle) != 0 && (flags & kNoNewFolderButton) == 0);
  if (!title.empty()) {
    // The text above the folders.
    GtkWidget* label = gtk_label_new(title.c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_widget_set_margin_start(label, 8);
    gtk_widget_set_margin_top(label, 6);
    GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_box_pack_start(GTK_BOX(area), label, FALSE, FALSE, 0);
    gtk_box_reorder_child(GTK_BOX(area), label, 0);
    gtk_widget_show(label);
  }
  gtk_window_set_default_size(GTK_WINDOW(dialog), 640, 440);
  gtk_widget_realize(dialog);
  if (owner != 0) {
    GdkDisplay* display = gdk_display_get_default();
    if (GDK_IS_X11_DISPLAY(display)) {
      gdk_x11_display_error_trap_push(display);
      GdkWindow* parent = gdk_x11_window_foreign_new_for_display(display, owner);
      if (parent) {
        gdk_window_set_transient_for(gtk_widget_get_window(dialog), parent);
        gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
      }
      gdk_x11_display_error_trap_pop_ignored(display);
    }
  }
  int width = 0, height = 0;
  gtk_window_get_size(GTK_WINDOW(dialog), &width, &height);
  Say("ready " + std::to_string(width) + " " + std::to_string(height));

  std::string line;
  bool shown = false;
  while (std::getline(std::cin, line)) {
    const size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string argument = space == std::string::npos ? "" : Unescape(line.substr(space + 1));
    if (command == "show") {
      shown = true;
      break;
    }
    int a = 0, b = 0;
    if (command == "select") {
      gtk_file_chooser_set_current_folder(chooser, argument.c_str());
    } else if (command == "text") {
      gtk_window_set_title(GTK_WINDOW(dialog), argument.c_str());
    } else if (command == "move" && std::sscanf(argument.c_str(), "%d %d", &a, &b) == 2) {
      gtk_window_move(GTK_WINDOW(dialog), a, b);
    } else if (command == "size" && std::sscanf(argument.c_str(), "%d %d", &a, &b) == 2) {
      gtk_window_resize(GTK_WINDOW(dialog), a, b);
    }
  }
  if (!shown) return 0;  // the browser went away before the dialog opened

  const bool confirmed = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT;
  char* chosen = confirmed ? gtk_file_chooser_get_filename(chooser) : nullptr;
  if (chosen) {
    Say("chosen " + Escape(chosen));
    g_free(chosen);
  } else {
    Say(confirmed ? "chosen-without-path" : "cancel");
  }
  gtk_widget_destroy(dialog);
  return 0;
}
