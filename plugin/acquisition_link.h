// The plug-in's side of acquisition: the AcquisitionContext over the
// plug-in's process-wide state, handed to StartAcquisition.
#pragma once

#include "acquisition/acquisition_context.h"

namespace varnix {

// [any] The one context; it lives as long as the module.
AcquisitionContext& PluginAcquisitionContext();

}  // namespace varnix
