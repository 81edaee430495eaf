<?php

return [

    /*
    |--------------------------------------------------------------------------
    | Authentication and list lines
    |--------------------------------------------------------------------------
    */

    'failed' => 'These credentials do not match our records.',
    'throttle' => 'Too many login attempts. Please try again in :seconds seconds.',
    'apples' => '{0} There are none|{1} There is one|[2,*] There are :count',
    'minutes' => ':count minute|:count minutes',
    "welcome" => "Welcome, :name!",
    'nested' => [
        'a' => 'First',
        'b' => ['deep' => 'Deeper'],
    ],
    'pagination' => [
        'previous' => '&laquo; Previous',
        'next' => 'Next &raquo;',
    ],
];
