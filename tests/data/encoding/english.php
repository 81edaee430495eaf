<?php
// English: the template of every translation.
define("_CHARSET","iso-8859-1");
define("_HELLO","Hello, world");
define("_WORLD","World");
define("_PEACE","Peace on earth");
define("_SAVE","Save the changes");
define("_LOGIN","Log in to the site");
define("_SEARCH","Search the site");
