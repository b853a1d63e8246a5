#pragma once
// The ACR120 reader library calls, as an interface with exchangeable backends.
