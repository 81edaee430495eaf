<?php
define("_CHARSET","iso-8859-1");
define("_HELLO","Bonjour, le monde");
define("_WORLD","Monde entier, à côté");
