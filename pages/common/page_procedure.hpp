#pragma once
#include "platform/window.hpp"

namespace korvel {

// What the main window asks of a page beyond the window messages. The shell keeps one table entry
// per page (view id, menu command, caption slot, procedure) and walks it; everything that differs
// from page to page is answered here, so adding a page never touches the main window.
class PageProcedure : public WindowProc {
 public:
  // Template of the page for size class 1..5.
  virtual int TemplateFor(int size_class) const = 0;

  // Steps after the page window was created for a page switch or a size change (lists filled,
  // labels set, frames drawn, history cleared, ...).
  virtual void Build(Window& page) { (void)page; }
  // Steps after the page window was created again for a language change; the same as Build unless
  // the page needs another order.
  virtual void BuildForLanguage(Window& page) { Build(page); }

  // A page that is never rebuilt for a size or language change: it places its controls when it is
  // painted, and a language change only relabels it in place.
  virtual bool KeptAcrossRebuilds() const { return false; }
  virtual void RelabelInPlace(Window& page) { (void)page; }

  // A page that is built by applying the size class: entering it, or changing the language while
  // it is shown, creates the page and then applies the size class, which creates it a second time
  // and runs Build.
  virtual bool BuiltBySizeClass() const { return false; }

  // Controls that the main window places for the size class whenever it applies the class fonts
  // (the Readings page's learn button).
  virtual void PlaceClassControls(Window& page) { (void)page; }
  // The last step of a main-window repaint, after the page drew and the size items were renewed.
  virtual void AfterMainWindowPaint(Window& page) { (void)page; }

  // What the page draws when the main window repaints while it is shown. Returns true when the
  // main window should renew the highlight of the page's menu item as well.
  virtual bool PaintFromMainWindow(Window& page) {
    (void)page;
    return false;
  }
};

}  // namespace korvel
