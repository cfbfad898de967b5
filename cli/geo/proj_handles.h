// PROJ's context and objects, each released by its own function.
#pragma once

#include <proj.h>

#include <memory>
#include <string>

namespace elvhost {

using ProjContext = std::unique_ptr<PJ_CONTEXT, PJ_CONTEXT *(*)(PJ_CONTEXT *)>;
using ProjObject = std::unique_ptr<PJ, PJ *(*)(PJ *)>;

inline ProjContext newProjContext() { return {proj_context_create(), &proj_context_destroy}; }
inline ProjObject projObject(PJ *object) { return {object, &proj_destroy}; }

// PROJ's words for the context's last error; PROJ has none for "no error".
inline std::string projProblem(PJ_CONTEXT *context) {
  const char *text = proj_context_errno_string(context, proj_context_errno(context));
  return text != nullptr ? text : "no reason given";
}

} // namespace elvhost
