// A moving test card with the scene number: stands in for the scenes whose effects do not exist yet.
#pragma once

void TestcardStart();
bool TestcardUpdate(int ticks);  // true after 210 ticks
void TestcardRender();
