// The outline of the deformation region, drawn over the shaded scene.
#pragma once

namespace tavrel {

class IDeformationCollection;
class IVirtualCameraParameters;
class GLSLProgram;

// Only when the deformation asks for its region to be shown: a white wire
// cube of line width 5 at the region's position and size, through the
// program (bound and left bound) with the camera's view uniforms. The
// matrices and attributes come back afterwards.
void draw_wireframe_cube(const IDeformationCollection& deformation, const IVirtualCameraParameters& camera,
                         GLSLProgram& program);

}  // namespace tavrel
