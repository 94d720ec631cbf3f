// Builds the courtyard scene into an ObjBuilder: architecture and props.
#pragma once

#include "obj_builder.h"

namespace demo_assets {

// Floor, sunken basin, the two-storey arcades on four sides with their
// galleries, corner piers, cornice and urns.
void buildCourtyardArchitecture(ObjBuilder& b);

// Vases, benches, fountains, planters, terrace plants, lamp posts, curtains.
void buildCourtyardProps(ObjBuilder& b);

inline void buildCourtyard(ObjBuilder& b) {
    buildCourtyardArchitecture(b);
    buildCourtyardProps(b);
}

}  // namespace demo_assets
