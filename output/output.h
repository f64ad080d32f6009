// Integration to velocity and displacement, the three output files and the
// running extremes.
#pragma once

void integth();
