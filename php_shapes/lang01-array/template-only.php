<?php
###############################################################################
# english.php
# This is the English language file for the site.
###############################################################################

$LANG_CHARSET = 'iso-8859-1';
$LANG_DIRECTION = 'ltr';
$LANG_WEEK_START = 1;
$LANG_SHOW_FLAGS = false;

$LANG01 = array(
    1 => 'Contact',
    2 => 'read more',
    3 => 'comments',
    4 => 'Edit',
    10 => 'Search',
    'rss' => 'RSS feed',
    12 => 'Log out'
);

$LANG_MONTH = array(1 => 'January', 2 => 'February', 3 => 'March');
