<?php
// English, saved as UTF-8 © Example Ltd.
define("_HELLO","Hello, world");
define("_WORLD","World");
