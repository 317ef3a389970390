#pragma once
// filled in next
