#pragma once
#include <memory>
#include <string>

struct _xsltStylesheet;

namespace norvane {

class TRXML;

// A compiled stylesheet. libxslt reads a compiled stylesheet only, so one may serve any
// number of transformations at once, on any threads.
class CompiledStyle {
 public:
  explicit CompiledStyle(_xsltStylesheet* style) : style_(style) {}
  ~CompiledStyle();
  CompiledStyle(const CompiledStyle&) = delete;
  CompiledStyle& operator=(const CompiledStyle&) = delete;
  _xsltStylesheet* get() const { return style_; }

 private:
  _xsltStylesheet* style_;
};

// Compiles the stylesheet document. Throws XmlError with the engine's message when it is
// no usable stylesheet.
std::shared_ptr<const CompiledStyle> CompileStyle(const TRXML& stylesheet);

// The compiled stylesheet of a program path, compiled once and kept while the file's
// modification time and size stay the same, so a changed file is picked up at the next
// request. None when there is no such file; throws XmlError when it does not compile
// (nothing is kept then, so the next request tries again).
std::shared_ptr<const CompiledStyle> CachedStyle(const std::string& path);

// Forgets every compiled stylesheet (tests that rewrite a style within one second).
void ClearStyleCache();

}  // namespace norvane
